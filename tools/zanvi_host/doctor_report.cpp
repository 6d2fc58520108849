#include "doctor_report.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

std::string Format(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    int length = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    std::string text;
    if (length > 0) {
        std::vector<char> buffer(static_cast<size_t>(length) + 1);
        std::vsnprintf(buffer.data(), buffer.size(), format, again);
        text.assign(buffer.data(), static_cast<size_t>(length));
    }
    va_end(again);
    return text;
}

void CDoctorReport::Title(const std::string& text) { Emit(text); }

void CDoctorReport::Heading(const std::string& text)
{
    Emit("");
    Emit(text);
}

void CDoctorReport::Line(const std::string& text) { Emit("   " + text); }

void CDoctorReport::Detail(const std::string& text) { Emit("      " + text); }

void CDoctorReport::Ok() { Emit("   Verdict: OK"); }

void CDoctorReport::Problem(const std::string& problem, const std::string& nextStep)
{
    Emit("   Verdict: " + problem + ". Next step: " + nextStep + ".");
}

void CDoctorReport::Result(const std::string& text)
{
    Emit("");
    Emit(text);
}

void CDoctorReport::Emit(const std::string& line)
{
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);  // a long step follows some lines: show what is known so far
    m_text += line + "\r\n";
}

void CVerdict::Problem(const std::string& problem, const std::string& nextStep)
{
    if (!m_problem.empty()) return;
    m_problem = problem;
    m_step = nextStep;
}

void CVerdict::WriteTo(CDoctorReport& report) const
{
    if (m_problem.empty()) report.Ok();
    else report.Problem(m_problem, m_step);
}
