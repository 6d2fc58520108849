// Wide diagnostic log: one stamped line per call to the debugger output.
#pragma once

// Wide formats are filled by the C runtime's _vsnwprintf (Microsoft semantics): "%s" takes a
// wide string, "%hs" a narrow one, "%d" an int. Formats are never checked by the compiler, so
// pass exactly what the format names.
void WriteLog(const wchar_t* tag, const wchar_t* format, ...);
