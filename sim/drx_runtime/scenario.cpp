#include "scenario.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace {

bool Number(const std::string& text, long long& value)
{
    if (text.empty()) return false;
    char* end = nullptr;
    value = std::strtoll(text.c_str(), &end, 0);
    return *end == '\0';
}

template <class T>
bool NumberAs(const std::string& text, T& value)
{
    long long v = 0;
    if (!Number(text, v)) return false;
    value = static_cast<T>(v);
    return true;
}

std::string Rest(std::istringstream& in)
{
    std::string rest;
    std::getline(in, rest);
    size_t start = rest.find_first_not_of(" \t");
    return start == std::string::npos ? std::string() : rest.substr(start);
}

bool ParseApp(std::istringstream& in, SimApp& app)
{
    std::string version, date;
    return static_cast<bool>(in >> app.name >> version >> date) && PackVersion(version, app.version) &&
           PackDate(date, app.date);
}

bool ParseItem(std::istringstream& in, SimVersionItem& item)
{
    std::string version, date;
    if (!(in >> version >> date) || !PackVersion(version, item.version) || !PackDate(date, item.date)) return false;
    item.name = Rest(in);
    return !item.name.empty();
}

bool ParseLine(const std::string& line, Scenario& s)
{
    std::istringstream in(line);
    std::string word;
    if (!(in >> word) || word[0] == '#') return true;
    if (word == "module") {
        SimModule m;
        std::string serial, mask, state;
        if (!(in >> serial >> mask >> state) || !NumberAs(serial, m.serial) || !NumberAs(mask, m.interfaces) ||
            !NumberAs(state, m.state))
            return false;
        m.name = Rest(in);
        s.modules.push_back(m);
        return true;
    }
    if (word == "pcapp") {
        SimApp app;
        if (!ParseApp(in, app)) return false;
        s.pcApps.push_back(app);
        return true;
    }
    if (word == "vciapp") {
        std::string serial, id, run;
        SimApp app;
        int32_t sn = 0;
        if (!(in >> serial >> id) || !NumberAs(serial, sn) || !NumberAs(id, app.id) || !ParseApp(in, app)) return false;
        if (in >> run) {
            if (run != "idle" && run != "running") return false;
            app.running = run == "running";
        }
        s.vciApps[sn].push_back(app);
        return true;
    }
    if (word == "client" || word == "server") {
        SimVersionItem item;
        if (!ParseItem(in, item)) return false;
        (word == "client" ? s.clientItems : s.serverItems).push_back(item);
        return true;
    }
    if (word == "install") {
        std::string count, key, n;
        if (!(in >> count) || !NumberAs(count, s.installComponents) || s.installComponents == 0) return false;
        while (in >> key) {
            bool known = (key == "error" && (in >> n) && NumberAs(n, s.installErrorAt)) ||
                         (key == "total" && (in >> n) && NumberAs(n, s.installTotal));
            if (!known) return false;
        }
        return true;
    }
    if (word == "delay") {
        std::string ms;
        return (in >> ms) && NumberAs(ms, s.eventDelayMs);
    }
    if (word == "write") {
        std::string handle, status;
        int32_t h = 0, st = 0;
        if (!(in >> handle >> status) || !NumberAs(handle, h) || !NumberAs(status, st)) return false;
        s.writes[h] = st;
        return true;
    }
    if (word == "pause") {
        std::string name, ms;
        unsigned value = 0;
        if (!(in >> name >> ms) || !NumberAs(ms, value)) return false;
        s.pausesMs[name] = value;
        return true;
    }
    if (word == "fail") {
        std::string name, code, after, n;
        SimFailure f;
        if (!(in >> name >> code) || !NumberAs(code, f.code)) return false;
        if (in >> after) {
            if (after != "after" || !(in >> n) || !NumberAs(n, f.after)) return false;
        }
        s.failures[name] = f;
        return true;
    }
    return false;
}

}  // namespace

bool PackVersion(const std::string& text, uint32_t& packed)
{
    unsigned a, b, c, d;
    char tail;
    if (std::sscanf(text.c_str(), "%u.%u.%u.%u%c", &a, &b, &c, &d, &tail) != 4 || a > 255 || b > 255 || c > 255 ||
        d > 255)
        return false;
    packed = (a << 24) | (b << 16) | (c << 8) | d;
    return true;
}

bool PackDate(const std::string& text, uint32_t& packed)
{
    unsigned y, m, d;
    char tail;
    if (std::sscanf(text.c_str(), "%u-%u-%u%c", &y, &m, &d, &tail) != 3 || y < 1970 || y > 1970 + 255 || m > 255 ||
        d > 255)
        return false;
    packed = ((y - 1970) << 24) | (m << 16) | (d << 8);
    return true;
}

bool ParseScenario(const std::string& text, Scenario& scenario, std::string& error)
{
    Scenario parsed;
    std::istringstream in(text);
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!ParseLine(line, parsed)) {
            error = "line " + std::to_string(number) + ": " + line;
            return false;
        }
    }
    scenario = parsed;
    return true;
}
