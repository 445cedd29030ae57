#include "app/about_window_win.h"

#include <objbase.h>
#include <wincodec.h>

#include <iterator>
#include <string>

#include "engines/hosts.h"
#include "resources/resource.h"
#include "resources/version.h"
#include "win/dpi_win.h"
#include "win/handles.h"
#include "win/launch.h"
#include "win/modal_dialog_win.h"

namespace velvane {
namespace {

// The window's frame at 96 DPI; the picture is one pixel wider and taller,
// and that surplus column and row are cut off at the right and the bottom.
constexpr int kLeft = 50;
constexpr int kTop = 50;
constexpr int kWidth = 252;
constexpr int kHeight = 189;
constexpr int kPictureWidth = 253;
constexpr int kPictureHeight = 190;

// The version is written over the picture here, so that the picture stays the
// same from one version to the next: where the generator leaves room for it,
// in the light blue of the picture's other lines, 13 px high at 96 DPI.
constexpr int kVersionLeft = 18;
constexpr int kVersionTop = 93;
constexpr int kVersionPixels = 13;
constexpr COLORREF kVersionColour = RGB(0xa8, 0xd8, 0xff);
constexpr wchar_t kVersionText[] = L"版本 " VELVANE_VERSION_STRING;

// The about picture from the program's resources, decoded by the platform's
// imaging component and scaled to width × height; null when that fails.
UniqueBitmap decode_picture(HINSTANCE instance, int width, int height) {
    HRSRC resource = FindResourceW(instance, MAKEINTRESOURCEW(IDR_ABOUT_PICTURE), RT_RCDATA);
    HGLOBAL loaded = resource ? LoadResource(instance, resource) : nullptr;
    auto* bytes = static_cast<BYTE*>(loaded ? LockResource(loaded) : nullptr);
    const DWORD size = resource ? SizeofResource(instance, resource) : 0;
    if (!bytes || size == 0) return UniqueBitmap();

    const ComApartment apartment;
    ComPtr<IWICImagingFactory> factory;
    ComPtr<IWICStream> stream;
    ComPtr<IWICBitmapDecoder> decoder;
    ComPtr<IWICBitmapFrameDecode> frame;
    ComPtr<IWICFormatConverter> converter;
    ComPtr<IWICBitmapScaler> scaler;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                factory.out_void())) ||
        FAILED(factory->CreateStream(stream.out())) || FAILED(stream->InitializeFromMemory(bytes, size)) ||
        FAILED(factory->CreateDecoderFromStream(stream.get(), nullptr, WICDecodeMetadataCacheOnLoad, decoder.out())) ||
        FAILED(decoder->GetFrame(0, frame.out())) || FAILED(factory->CreateFormatConverter(converter.out())) ||
        FAILED(converter->Initialize(frame.get(), GUID_WICPixelFormat32bppBGR, WICBitmapDitherTypeNone, nullptr, 0.0,
                                     WICBitmapPaletteTypeCustom)))
        return UniqueBitmap();

    IWICBitmapSource* source = converter.get();
    UINT source_width = 0, source_height = 0;
    converter->GetSize(&source_width, &source_height);
    if (static_cast<int>(source_width) != width || static_cast<int>(source_height) != height) {
        if (FAILED(factory->CreateBitmapScaler(scaler.out())) ||
            FAILED(scaler->Initialize(converter.get(), static_cast<UINT>(width), static_cast<UINT>(height),
                                      WICBitmapInterpolationModeFant)))
            return UniqueBitmap();
        source = scaler.get();
    }

    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down, as WIC hands out the rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* pixels = nullptr;
    UniqueBitmap bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &pixels, nullptr, 0));
    if (!bitmap || !pixels) return UniqueBitmap();
    const UINT stride = static_cast<UINT>(width) * 4;
    if (FAILED(source->CopyPixels(nullptr, stride, stride * static_cast<UINT>(height), static_cast<BYTE*>(pixels))))
        return UniqueBitmap();
    return bitmap;
}

// Writes the version onto the picture once, so that a paint stays one copy.
void draw_version(HBITMAP picture, UINT dpi) {
    const UniqueMemoryDc memory(CreateCompatibleDC(nullptr));
    if (!memory) return;
    LOGFONTW face = message_font(dpi);
    face.lfHeight = -scale_for_dpi(kVersionPixels, dpi);
    face.lfWidth = 0;
    face.lfWeight = FW_NORMAL;
    const UniqueFont font(CreateFontIndirectW(&face));
    const SelectedObject selected_picture(memory.get(), picture);
    const SelectedObject selected_font(memory.get(), font.get());
    SetBkMode(memory.get(), TRANSPARENT);
    SetTextColor(memory.get(), kVersionColour);
    TextOutW(memory.get(), scale_for_dpi(kVersionLeft, dpi), scale_for_dpi(kVersionTop, dpi), kVersionText,
             static_cast<int>(std::size(kVersionText) - 1));
}

class AboutWindow {
public:
    void on_init(HWND dialog);
    INT_PTR handle(UINT msg, WPARAM wparam, LPARAM lparam);

private:
    void on_left_button_down();
    void on_paint();
    // Places the window and makes the picture for this DPI; `frame` is the
    // window's new rectangle, or null for its place at 50, 50.
    void lay_out(UINT dpi, const RECT* frame);

    HWND dialog_ = nullptr;
    UniqueBitmap picture_;
    bool site_opened_ = false;
};

INT_PTR AboutWindow::handle(UINT msg, WPARAM wparam, LPARAM lparam) {
    switch (msg) {
    case WM_LBUTTONDOWN:
        on_left_button_down();
        return TRUE;
    case WM_COMMAND:
        // Esc and Alt+F4 close the window without opening the site; Enter
        // does nothing.
        if (LOWORD(wparam) == IDCANCEL) EndDialog(dialog_, IDCANCEL);
        return TRUE;
    case WM_ERASEBKGND:
        // The picture covers the whole window.
        if (picture_) return dialog_result(dialog_, TRUE);
        break;
    case WM_PAINT:
        on_paint();
        return TRUE;
    case WM_DPICHANGED:
        lay_out(LOWORD(wparam), reinterpret_cast<const RECT*>(lparam));
        return dialog_result(dialog_, 0);
    default:
        break;
    }
    return FALSE;
}

void AboutWindow::on_init(HWND dialog) {
    dialog_ = dialog;
    lay_out(dpi_for_window(dialog), nullptr);
    SetFocus(dialog);
    // Opened from the tray while the main window is hidden, the window must
    // still come to the front.
    SetForegroundWindow(dialog);
}

void AboutWindow::lay_out(UINT dpi, const RECT* frame) {
    auto px = [dpi](int value) { return scale_for_dpi(value, dpi); };
    const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(dialog_, GWLP_HINSTANCE));
    picture_ = decode_picture(instance, px(kPictureWidth), px(kPictureHeight));
    if (picture_) draw_version(picture_.get(), dpi);
    if (frame) {
        move_to_suggested_rect(dialog_, *frame);
    } else {
        SetWindowPos(dialog_, HWND_TOPMOST, px(kLeft), px(kTop), px(kWidth), px(kHeight), SWP_NOACTIVATE);
    }
    InvalidateRect(dialog_, nullptr, TRUE);
}

void AboutWindow::on_left_button_down() {
    // One press opens the site once: the release, a double click or a press
    // that arrives before the window is gone add nothing.
    if (site_opened_) return;
    site_opened_ = true;
    launch_url("http://" + std::string(host_of(HostRole::AuthorSite)));
    EndDialog(dialog_, IDOK);
}

void AboutWindow::on_paint() {
    PAINTSTRUCT paint = {};
    HDC dc = BeginPaint(dialog_, &paint);
    if (picture_) {
        if (const UniqueMemoryDc memory(CreateCompatibleDC(dc)); memory) {
            const SelectedObject selected(memory.get(), picture_.get());
            RECT client = {};
            GetClientRect(dialog_, &client);
            BitBlt(dc, 0, 0, client.right, client.bottom, memory.get(), 0, 0, SRCCOPY);
        }
    }
    EndPaint(dialog_, &paint);
}

}  // namespace

void show_about_window(HINSTANCE instance, HWND owner) {
    AboutWindow window;
    // No caption, no frame, above every window that is not topmost.
    show_modal_dialog(instance, owner, WS_POPUP | DS_SETFOREGROUND, WS_EX_TOPMOST, L"", window);
}

}  // namespace velvane
