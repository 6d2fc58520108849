#include "dialog_template.h"

#include <cstring>

namespace {

// Walks the template's bytes; every read is checked against the resource's size.
class Reader {
public:
    Reader(const BYTE* data, size_t size) : m_data(data), m_size(size), m_pos(0), m_ok(true) {}

    bool Ok() const { return m_ok; }

    template <typename T>
    T Get()
    {
        T value{};
        if (m_pos + sizeof(T) > m_size) {
            m_ok = false;
            return value;
        }
        std::memcpy(&value, m_data + m_pos, sizeof(T));
        m_pos += sizeof(T);
        return value;
    }

    std::wstring String()
    {
        std::wstring text;
        for (WCHAR c = Get<WCHAR>(); m_ok && c; c = Get<WCHAR>()) text += c;
        return text;
    }

    // A field that is empty (0x0000), an ordinal (0xFFFF, value) or a string.
    std::wstring StringOrOrdinal(bool classField)
    {
        WORD first = Get<WORD>();
        if (first == 0) return std::wstring();
        if (first == 0xFFFF) {
            WORD ordinal = Get<WORD>();
            if (classField) {
                switch (ordinal) {
                case 0x0080: return L"Button";
                case 0x0081: return L"Edit";
                case 0x0082: return L"Static";
                case 0x0083: return L"ListBox";
                case 0x0084: return L"ScrollBar";
                case 0x0085: return L"ComboBox";
                }
            }
            return L"#" + std::to_wstring(ordinal);
        }
        std::wstring text(1, static_cast<WCHAR>(first));
        return text + String();
    }

    void AlignToDword() { m_pos = (m_pos + 3) & ~static_cast<size_t>(3); }
    void Skip(size_t n)
    {
        if (m_pos + n > m_size) m_ok = false;
        else m_pos += n;
    }

private:
    const BYTE* m_data;
    size_t m_size;
    size_t m_pos;
    bool m_ok;
};

}  // namespace

bool ReadDialogTemplate(HMODULE module, UINT id, DialogTemplate& out)
{
    HRSRC info = FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(5) /* RT_DIALOG */);
    if (!info) return false;
    HGLOBAL loaded = LoadResource(module, info);
    const BYTE* data = loaded ? static_cast<const BYTE*>(LockResource(loaded)) : nullptr;
    if (!data) return false;
    Reader r(data, SizeofResource(module, info));

    if (r.Get<WORD>() != 1 || r.Get<WORD>() != 0xFFFF) return false;  // version, signature
    r.Get<DWORD>();                                                  // help id
    out.exStyle = r.Get<DWORD>();
    out.style = r.Get<DWORD>();
    WORD count = r.Get<WORD>();
    out.x = r.Get<short>();
    out.y = r.Get<short>();
    out.cx = r.Get<short>();
    out.cy = r.Get<short>();
    r.StringOrOrdinal(false);  // menu
    r.StringOrOrdinal(true);   // window class
    out.title = r.String();
    out.pointSize = 0;
    out.typeface.clear();
    if (out.style & DS_SETFONT) {
        out.pointSize = r.Get<WORD>();
        r.Get<WORD>();  // weight
        r.Get<BYTE>();  // italic
        r.Get<BYTE>();  // character set
        out.typeface = r.String();
    }
    out.controls.clear();
    for (WORD i = 0; i < count && r.Ok(); ++i) {
        r.AlignToDword();
        ControlTemplate c;
        r.Get<DWORD>();  // help id
        c.exStyle = r.Get<DWORD>();
        c.style = r.Get<DWORD>();
        c.x = r.Get<short>();
        c.y = r.Get<short>();
        c.cx = r.Get<short>();
        c.cy = r.Get<short>();
        c.id = r.Get<DWORD>();
        c.windowClass = r.StringOrOrdinal(true);
        c.text = r.StringOrOrdinal(false);
        r.Skip(r.Get<WORD>());  // creation data
        out.controls.push_back(c);
    }
    return r.Ok();
}
