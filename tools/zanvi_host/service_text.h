// The service-instance text as the hosts store it, "srv[" + body + "]", and as the resolver
// takes it: the body alone.
#pragma once

#include <string>

// The text without its "srv[...]" wrapping; a text without the wrapping is taken as it is.
// False (with the reason in error) for a half wrapping or an empty body.
bool StripServiceWrapping(const std::wstring& text, std::wstring& body, std::wstring& error);

// The text in the system code page, as the plug-ins take texts. False when a character has no
// equivalent there (it would reach the plug-in as a different character).
bool ToAnsiText(const std::wstring& text, std::string& ansi);

// For printing and for messages: the text in the system code page, unmappable characters as '?'.
std::string ToDisplayText(const std::wstring& text);
