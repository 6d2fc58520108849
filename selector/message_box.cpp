#include "message_box.h"

namespace {

int RealMessageBox(const wchar_t* text, const wchar_t* caption, UINT type)
{
    return MessageBoxW(nullptr, text, caption, type);
}

}  // namespace

OwnerlessMessageBoxFn g_pfnOwnerlessMessageBox = RealMessageBox;

int ShowOwnerlessMessageBox(const wchar_t* text, const wchar_t* caption, UINT type)
{
    return g_pfnOwnerlessMessageBox(text, caption, type);
}
