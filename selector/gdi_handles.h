// Sole owners of a GDI font and of an image list: released when the owner goes.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <type_traits>

struct FontDeleter {
    void operator()(HFONT hFont) const { DeleteObject(hFont); }
};
using FontHolder = std::unique_ptr<std::remove_pointer<HFONT>::type, FontDeleter>;

struct ImageListDeleter {
    void operator()(HIMAGELIST hList) const { ImageList_Destroy(hList); }
};
using ImageListHolder = std::unique_ptr<std::remove_pointer<HIMAGELIST>::type, ImageListDeleter>;
