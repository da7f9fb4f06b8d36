#include "support/Screenshot.h"

#include <wincodec.h>

#include <vector>

#include "win/UniqueHandle.h"

namespace vwtest {

namespace {

template <typename T>
struct ComPtr {
    T* p = nullptr;
    ~ComPtr()
    {
        if (p)
            p->Release();
    }
    T** put() { return &p; }
    T* operator->() const { return p; }
};

std::wstring ScreenshotFolder()
{
    wchar_t folder[MAX_PATH] = {};
    const DWORD length = ::GetEnvironmentVariableW(L"VW_SCREENSHOT_DIR", folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return {};
    ::CreateDirectoryW(folder, nullptr);
    return folder;
}

bool WritePng(const std::wstring& path, const std::vector<BYTE>& bgra, UINT width, UINT height)
{
    ComPtr<IWICImagingFactory> factory;
    ComPtr<IWICStream> stream;
    ComPtr<IWICBitmapEncoder> encoder;
    ComPtr<IWICBitmapFrameEncode> frame;
    WICPixelFormatGUID format = GUID_WICPixelFormat32bppBGRA;
    return SUCCEEDED(::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                        IID_IWICImagingFactory, reinterpret_cast<void**>(factory.put()))) &&
           SUCCEEDED(factory->CreateStream(stream.put())) &&
           SUCCEEDED(stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE)) &&
           SUCCEEDED(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.put())) &&
           SUCCEEDED(encoder->Initialize(stream.p, WICBitmapEncoderNoCache)) &&
           SUCCEEDED(encoder->CreateNewFrame(frame.put(), nullptr)) && SUCCEEDED(frame->Initialize(nullptr)) &&
           SUCCEEDED(frame->SetSize(width, height)) && SUCCEEDED(frame->SetPixelFormat(&format)) &&
           SUCCEEDED(frame->WritePixels(height, width * 4, static_cast<UINT>(bgra.size()),
                                        const_cast<BYTE*>(bgra.data()))) &&
           SUCCEEDED(frame->Commit()) && SUCCEEDED(encoder->Commit());
}

}  // namespace

bool SaveScreenshot(const std::wstring& name, std::initializer_list<HWND> windows)
{
    const std::wstring folder = ScreenshotFolder();
    if (folder.empty())
        return false;
    // Windows of another thread paint when that thread gets to it: have everything painted now.
    for (HWND window : windows) {
        if (window)
            ::RedrawWindow(window, nullptr, nullptr,
                           RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW | RDW_ALLCHILDREN);
    }
    ::Sleep(300);
    RECT area{};
    for (HWND window : windows) {
        RECT r;
        if (window && ::IsWindowVisible(window) && ::GetWindowRect(window, &r))
            ::UnionRect(&area, &area, &r);
    }
    if (::IsRectEmpty(&area))
        return false;
    return SaveScreenArea(folder + L"\\" + name + L".png", area);
}

bool SaveScreenArea(const std::wstring& path, RECT area)
{
    if (::IsRectEmpty(&area)) {
        area.left = ::GetSystemMetrics(SM_XVIRTUALSCREEN);
        area.top = ::GetSystemMetrics(SM_YVIRTUALSCREEN);
        area.right = area.left + ::GetSystemMetrics(SM_CXVIRTUALSCREEN);
        area.bottom = area.top + ::GetSystemMetrics(SM_CYVIRTUALSCREEN);
    }
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    if (width <= 0 || height <= 0)
        return false;

    HDC screen = ::GetDC(nullptr);
    vw::UniqueDC memory(::CreateCompatibleDC(screen));
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    vw::UniqueGdiObject bitmap(::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    bool copied = false;
    if (bitmap && memory) {
        HGDIOBJ old = ::SelectObject(memory.get(), bitmap.get());
        copied = ::BitBlt(memory.get(), 0, 0, width, height, screen, area.left, area.top, SRCCOPY) != FALSE;
        ::SelectObject(memory.get(), old);
    }
    ::ReleaseDC(nullptr, screen);
    if (!copied)
        return false;

    std::vector<BYTE> pixels(static_cast<BYTE*>(bits), static_cast<BYTE*>(bits) + size_t(width) * height * 4);
    for (size_t i = 3; i < pixels.size(); i += 4)
        pixels[i] = 255;  // the screen has no transparency
    const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const bool saved = WritePng(path, pixels, width, height);
    if (SUCCEEDED(com))
        ::CoUninitialize();
    return saved;
}

}  // namespace vwtest
