#include "winshell/UiFont.h"

#include "ui/Controls.h"

namespace vorlanx::winshell {

namespace {

constexpr const wchar_t* kFaces[] = {L"Microsoft YaHei UI", L"Microsoft YaHei", L"SimSun", L"NSimSun", L"SimHei",
                                     L"MS Shell Dlg 2"};

int CALLBACK faceFound(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

bool hasFace(HDC dc, const wchar_t* face) {
    LOGFONTW wanted{};
    wanted.lfCharSet = DEFAULT_CHARSET;
    lstrcpynW(wanted.lfFaceName, face, LF_FACESIZE);
    bool found = false;
    EnumFontFamiliesExW(dc, &wanted, faceFound, reinterpret_cast<LPARAM>(&found), 0);
    return found;
}

} // namespace

std::wstring uiFontFace() {
    HDC dc = GetDC(nullptr);
    std::wstring face = kFaces[std::size(kFaces) - 1];
    for (const wchar_t* candidate : kFaces) {
        if (hasFace(dc, candidate)) {
            face = candidate;
            break;
        }
    }
    ReleaseDC(nullptr, dc);
    return face;
}

FontHandle makeUiFont(const Dpi& dpi) {
    static const std::wstring face = uiFontFace();
    LOGFONTW font{};
    font.lfHeight = -MulDiv(ui::kFontPointSize, static_cast<int>(dpi.value()), 72);
    font.lfWeight = FW_NORMAL;
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfQuality = CLEARTYPE_QUALITY;
    lstrcpynW(font.lfFaceName, face.c_str(), LF_FACESIZE);
    return FontHandle(CreateFontIndirectW(&font));
}

} // namespace vorlanx::winshell
