// The doctor's report: numbered sections of findings, each ending in one verdict line. It is
// printed as it is written and kept whole, so that it can also be saved for a support ticket.
#pragma once

#include <string>

// printf-style text of any length.
std::string Format(const char* format, ...) __attribute__((format(gnu_printf, 1, 2)));

class CDoctorReport {
public:
    void Title(const std::string& text);    // the first line
    void Heading(const std::string& text);  // a section, after a blank line
    void Line(const std::string& text);     // a finding of the current section
    void Detail(const std::string& text);   // a finding about the line above
    void Ok();                              // the verdict "OK"
    // The verdict when something is wrong: the problem in plain words and what to do next.
    void Problem(const std::string& problem, const std::string& nextStep);
    void Result(const std::string& text);   // the last line, after a blank line

    // Every line so far, each ended by a carriage return and a line feed.
    const std::string& Text() const { return m_text; }

private:
    void Emit(const std::string& line);

    std::string m_text;
};

// A section's verdict: the first problem found in it, or OK when there was none.
class CVerdict {
public:
    void Problem(const std::string& problem, const std::string& nextStep);
    bool IsOk() const { return m_problem.empty(); }
    void WriteTo(CDoctorReport& report) const;

private:
    std::string m_problem;
    std::string m_step;
};
