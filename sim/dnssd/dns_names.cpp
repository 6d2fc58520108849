#include "dns_names.h"

namespace dnssd_sim {

namespace {

std::string Lower(std::string text)
{
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

}  // namespace

std::string CanonicalName(const std::string& name)
{
    std::string out = Lower(name);
    if (!out.empty() && out.back() == '.')
        out.pop_back();
    return out;
}

bool SameLabel(const std::string& a, const std::string& b)
{
    return Lower(a) == Lower(b);
}

bool SameName(const std::string& a, const std::string& b)
{
    return CanonicalName(a) == CanonicalName(b);
}

std::string WithTrailingDot(const std::string& name)
{
    if (!name.empty() && name.back() == '.')
        return name;
    return name + ".";
}

std::string FullServiceName(const std::string& instance, const std::string& type,
    const std::string& domain)
{
    std::string label;
    for (char c : instance) {
        if (c == '.' || c == '\\')
            label += '\\';
        label += c;
    }
    return label + "." + WithTrailingDot(type) + WithTrailingDot(domain);
}

}  // namespace dnssd_sim
