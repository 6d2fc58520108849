#include "scenario.h"

#include <cerrno>
#include <cstdlib>

#include "dns_names.h"

namespace dnssd_sim {

bool InstanceKey::operator==(const InstanceKey& other) const
{
    return SameLabel(name, other.name) && SameName(type, other.type) && SameName(domain, other.domain);
}

bool BuildTxt(const std::vector<std::string>& strings, std::string& rdata)
{
    rdata.clear();
    for (const std::string& s : strings) {
        if (s.size() > 255)
            return false;
        rdata += static_cast<char>(s.size());
        rdata += s;
    }
    if (rdata.empty())
        rdata.assign(1, '\0');  // an empty TXT record still holds one empty string
    return true;
}

namespace {

struct ParseError {
    std::string what;
};

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Blank-separated words; "..." quotes a word (blanks, '#', or nothing at all) with the
// escapes \" \\ and \xHH; '#' outside quotes starts a comment.
std::vector<std::string> SplitWords(const std::string& line)
{
    std::vector<std::string> words;
    size_t i = 0;
    while (i < line.size()) {
        char c = line[i];
        if (c == ' ' || c == '\t' || c == '\r') {
            ++i;
            continue;
        }
        if (c == '#')
            break;
        std::string word;
        if (c != '"') {
            while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r')
                word += line[i++];
            words.push_back(word);
            continue;
        }
        ++i;
        bool closed = false;
        while (i < line.size()) {
            c = line[i++];
            if (c == '"') {
                closed = true;
                break;
            }
            if (c != '\\') {
                word += c;
                continue;
            }
            if (i >= line.size())
                break;
            char e = line[i++];
            if (e == '"' || e == '\\') {
                word += e;
            } else if (e == 'x' && i + 1 < line.size() && HexDigit(line[i]) >= 0 &&
                       HexDigit(line[i + 1]) >= 0) {
                word += static_cast<char>(HexDigit(line[i]) * 16 + HexDigit(line[i + 1]));
                i += 2;
            } else {
                throw ParseError{std::string("unknown escape \\") + e + " in a quoted word"};
            }
        }
        if (!closed)
            throw ParseError{"unterminated quoted word"};
        if (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r')
            throw ParseError{"a blank must follow a quoted word"};
        words.push_back(word);
    }
    return words;
}

uint32_t ParseUnsigned(const std::string& word, uint32_t max, const char* what)
{
    if (word.empty() || word.find_first_not_of("0123456789") != std::string::npos)
        throw ParseError{std::string(what) + " must be a number: '" + word + "'"};
    errno = 0;
    unsigned long long value = std::strtoull(word.c_str(), nullptr, 10);
    if (errno != 0 || value > max)
        throw ParseError{std::string(what) + " out of range: " + word};
    return static_cast<uint32_t>(value);
}

int32_t ParseCode(const std::string& word)
{
    char* end = nullptr;
    errno = 0;
    long long value = std::strtoll(word.c_str(), &end, 10);
    if (word.empty() || *end != '\0' || errno != 0 || value < INT32_MIN || value > INT32_MAX)
        throw ParseError{"error code must be a signed number: '" + word + "'"};
    return static_cast<int32_t>(value);
}

std::string ParseHex(const std::vector<std::string>& words, size_t first)
{
    std::string digits;
    for (size_t i = first; i < words.size(); ++i)
        digits += words[i];
    if (digits.size() % 2 != 0)
        throw ParseError{"odd number of hex digits"};
    std::string bytes;
    for (size_t i = 0; i < digits.size(); i += 2) {
        int hi = HexDigit(digits[i]);
        int lo = HexDigit(digits[i + 1]);
        if (hi < 0 || lo < 0)
            throw ParseError{"not a hex digit in '" + digits.substr(i, 2) + "'"};
        bytes += static_cast<char>(hi * 16 + lo);
    }
    return bytes;
}

std::string TxtFromWords(const std::vector<std::string>& words, size_t first)
{
    std::string rdata;
    if (!BuildTxt(std::vector<std::string>(words.begin() + first, words.end()), rdata))
        throw ParseError{"a TXT string is longer than 255 bytes"};
    return rdata;
}

void ParseIpv4(const std::string& word, uint8_t out[4])
{
    size_t pos = 0;
    for (int i = 0; i < 4; ++i) {
        size_t end = word.find('.', pos);
        if ((i < 3) != (end != std::string::npos))
            throw ParseError{"not an IPv4 address: '" + word + "'"};
        std::string part = word.substr(pos, end == std::string::npos ? end : end - pos);
        if (part.empty() || part.size() > 3)
            throw ParseError{"not an IPv4 address: '" + word + "'"};
        out[i] = static_cast<uint8_t>(ParseUnsigned(part, 255, "address byte"));
        pos = end + 1;
    }
}

Call ParseCall(const std::string& word)
{
    if (word == "browse")
        return Call::Browse;
    if (word == "query")
        return Call::Query;
    if (word == "reconfirm")
        return Call::Reconfirm;
    if (word == "resolve")
        return Call::Resolve;
    if (word == "getaddrinfo")
        return Call::GetAddrInfo;
    throw ParseError{"unknown call '" + word +
                     "' (browse, query, reconfirm, resolve, getaddrinfo)"};
}

void Expect(bool condition, const char* usage)
{
    if (!condition)
        throw ParseError{std::string("usage: ") + usage};
}

class CParser {
public:
    explicit CParser(Scenario& scenario) : m_s(scenario) {}

    void Line(const std::vector<std::string>& w)
    {
        const std::string& k = w[0];
        if (uint32_t* delay = Delay(k)) {
            Expect(w.size() == 2,
                "reply-delay|flush-delay|negative-delay|goodbye-delay|query-timeout MS");
            *delay = ParseUnsigned(w[1], 600000, "delay");
        } else if (k == "negative-replies") {
            Expect(w.size() == 1, "negative-replies");
            m_s.negativeReplies = true;
        } else if (k == "instance") {
            Expect(w.size() == 3 || w.size() == 4, "instance NAME TYPE [DOMAIN]");
            Instance inst;
            inst.key = {w[1], w[2], w.size() == 4 ? w[3] : "local."};
            if (inst.key.name.empty() || inst.key.name.size() > 63)
                throw ParseError{"an instance name has 1 to 63 bytes"};
            if (Find(inst.key))
                throw ParseError{"instance '" + inst.key.name + "' defined twice"};
            m_s.instances.push_back(inst);
        } else if (k == "at") {
            Event(w);
        } else if (k == "fail" || k == "reply-error" || k == "process-error" || k == "pause") {
            Injection(w);
        } else {
            Attribute(w);
        }
    }

private:
    uint32_t* Delay(const std::string& keyword)
    {
        const struct {
            const char* keyword;
            uint32_t* field;
        } delays[] = {{"reply-delay", &m_s.replyDelayMs}, {"flush-delay", &m_s.flushDelayMs},
            {"negative-delay", &m_s.negativeDelayMs}, {"goodbye-delay", &m_s.goodbyeDelayMs},
            {"query-timeout", &m_s.queryTimeoutMs}};
        for (const auto& d : delays) {
            if (keyword == d.keyword)
                return d.field;
        }
        return nullptr;
    }

    Instance& Current(const std::string& keyword)
    {
        if (m_s.instances.empty())
            throw ParseError{"'" + keyword + "' before any 'instance' line"};
        return m_s.instances.back();
    }

    Instance* Find(const InstanceKey& key)
    {
        for (Instance& inst : m_s.instances) {
            if (inst.key == key)
                return &inst;
        }
        return nullptr;
    }

    std::vector<uint32_t> Interfaces(const std::vector<std::string>& w, size_t first)
    {
        std::vector<uint32_t> out;
        for (size_t i = first; i < w.size(); ++i)
            out.push_back(ParseUnsigned(w[i], UINT32_MAX, "interface index"));
        return out;
    }

    void Attribute(const std::vector<std::string>& w)
    {
        const std::string& k = w[0];
        if (k != "interfaces" && k != "txt" && k != "txt-hex" && k != "host" && k != "port" &&
            k != "address" && k != "hidden" && k != "flush-on-reconfirm")
            throw ParseError{"unknown keyword '" + k + "'"};
        Instance& inst = Current(k);
        if (k == "interfaces") {
            Expect(w.size() >= 2, "interfaces INDEX...");
            inst.interfaces = Interfaces(w, 1);
        } else if (k == "txt") {
            inst.txt = TxtFromWords(w, 1);
        } else if (k == "txt-hex") {
            inst.txt = ParseHex(w, 1);
        } else if (k == "host") {
            Expect(w.size() == 2, "host NAME");
            inst.host = w[1];
        } else if (k == "port") {
            Expect(w.size() == 2, "port NUMBER");
            inst.port = static_cast<uint16_t>(ParseUnsigned(w[1], 65535, "port"));
        } else if (k == "address") {
            inst.addresses.push_back(Address(w));
        } else {
            Expect(w.size() == 1, "hidden | flush-on-reconfirm");
            (k == "hidden" ? inst.hidden : inst.flushOnReconfirm) = true;
        }
    }

    AddressAnswer Address(const std::vector<std::string>& w)
    {
        const char* usage = "address A.B.C.D|none [on INDEX] [after MS] [more]";
        Expect(w.size() >= 2, usage);
        AddressAnswer a;
        if (w[1] == "none")
            a.hasAddress = false;
        else
            ParseIpv4(w[1], a.ipv4);
        for (size_t i = 2; i < w.size(); ++i) {
            if (w[i] == "more") {
                a.moreComing = true;
            } else if (w[i] == "on" && i + 1 < w.size()) {
                a.onInterface = ParseUnsigned(w[++i], UINT32_MAX, "interface index");
            } else if (w[i] == "after" && i + 1 < w.size()) {
                a.afterMs = ParseUnsigned(w[++i], 600000, "delay");
            } else {
                Expect(false, usage);
            }
        }
        return a;
    }

    void Event(const std::vector<std::string>& w)
    {
        const char* usage = "at MS add|remove NAME TYPE DOMAIN [on INDEX...] | "
                            "at MS txt|txt-hex NAME TYPE DOMAIN DATA...";
        Expect(w.size() >= 6, usage);
        TimelineEvent e;
        e.atMs = ParseUnsigned(w[1], 3600000, "time");
        e.key = {w[3], w[4], w[5]};
        if (!Find(e.key))
            throw ParseError{"no instance '" + e.key.name + "' of type " + e.key.type +
                             " in " + e.key.domain + " defined above"};
        if (w[2] == "add" || w[2] == "remove") {
            e.kind = w[2] == "add" ? EventKind::Add : EventKind::Remove;
            if (w.size() > 6) {
                Expect(w[6] == "on" && w.size() > 7, usage);
                e.interfaces = Interfaces(w, 7);
            }
        } else if (w[2] == "txt" || w[2] == "txt-hex") {
            e.kind = EventKind::Txt;
            e.txt = w[2] == "txt" ? TxtFromWords(w, 6) : ParseHex(w, 6);
        } else {
            Expect(false, usage);
        }
        m_s.timeline.push_back(e);
    }

    void Injection(std::vector<std::string> w)
    {
        const char* usage = "fail|reply-error|process-error CALL CODE [times N | always] | "
                            "reply-error getaddrinfo CODE address A.B.C.D [times N | always] | "
                            "pause CALL MS [times N | always]";
        ErrorInjection e;
        if (w[0] == "reply-error" && w.size() >= 5 && w[3] == "address") {
            ParseIpv4(w[4], e.ipv4);
            e.hasAddress = true;
            w.erase(w.begin() + 3, w.begin() + 5);
        }
        Expect(w.size() == 3 || (w.size() == 4 && w[3] == "always") ||
                   (w.size() == 5 && w[3] == "times"), usage);
        e.fault = w[0] == "fail" ? Fault::CallFails
            : w[0] == "reply-error" ? Fault::ReplyError
            : w[0] == "pause" ? Fault::Pause : Fault::ProcessError;
        e.call = ParseCall(w[1]);
        if (e.call == Call::Reconfirm && e.fault != Fault::CallFails)
            throw ParseError{"a reconfirm has no reference; only 'fail reconfirm' applies"};
        if (e.hasAddress && e.call != Call::GetAddrInfo)
            throw ParseError{"only an address lookup's reply error carries an address"};
        e.code = e.fault == Fault::Pause ? static_cast<int32_t>(ParseUnsigned(w[2], 600000, "pause"))
                                         : ParseCode(w[2]);
        if (w.size() == 4)
            e.remaining = -1;
        else if (w.size() == 5)
            e.remaining = static_cast<int>(ParseUnsigned(w[4], 1000000, "times"));
        m_s.errors.push_back(e);
    }

    Scenario& m_s;
};

}  // namespace

bool ParseScenario(const std::string& text, const std::string& label, Scenario& scenario,
    std::string& error)
{
    Scenario parsed;
    CParser parser(parsed);
    size_t lineNo = 0;
    size_t pos = 0;
    while (pos <= text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        ++lineNo;
        try {
            std::vector<std::string> words = SplitWords(text.substr(pos, end - pos));
            if (!words.empty())
                parser.Line(words);
        } catch (const ParseError& e) {
            error = label + ":" + std::to_string(lineNo) + ": " + e.what;
            return false;
        }
        pos = end + 1;
    }
    scenario = parsed;
    return true;
}

}  // namespace dnssd_sim
