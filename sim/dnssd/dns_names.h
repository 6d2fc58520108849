// How the stand-in compares and spells DNS names: case-insensitive, trailing dot optional.
#pragma once

#include <string>

namespace dnssd_sim {

// Lower-case ASCII, without a trailing dot: the form names are compared in.
std::string CanonicalName(const std::string& name);
bool SameName(const std::string& a, const std::string& b);
// One label (an instance name), compared without regard to ASCII case.
bool SameLabel(const std::string& a, const std::string& b);

// The service's full name as the library spells it: the instance label with '.' and '\'
// escaped, then type and domain, ending with a dot.
std::string FullServiceName(const std::string& instance, const std::string& type,
    const std::string& domain);

// The name with exactly one trailing dot, as replies carry type, domain and host names.
std::string WithTrailingDot(const std::string& name);

}  // namespace dnssd_sim
