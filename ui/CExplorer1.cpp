#include "ui/CExplorer1.h"

#include "win/UniqueHandle.h"

namespace vw {

CExplorer1::~CExplorer1()
{
    Destroy();
}

bool CExplorer1::Create(HWND container)
{
    Destroy();
    container_ = container;
    Microsoft::WRL::ComPtr<IOleObject> object;
    if (FAILED(::CoCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                                  reinterpret_cast<void**>(object.GetAddressOf()))))
        return false;
    if (FAILED(object->SetClientSite(static_cast<IOleClientSite*>(this))))
        return false;
    object_ = object;

    RECT area{};
    ::GetClientRect(container_, &area);
    Microsoft::WRL::ComPtr<IWebBrowser2> browser;
    if (FAILED(object_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, static_cast<IOleClientSite*>(this), 0,
                               container_, &area)) ||
        FAILED(object_.As(&browser))) {
        Destroy();
        return false;
    }
    browser_ = browser;
    // The page window is a child of the container: the container must not paint over it.
    ::SetWindowLongPtrW(container_, GWL_STYLE,
                        ::GetWindowLongPtrW(container_, GWL_STYLE) | WS_CLIPCHILDREN);
    return true;
}

bool CExplorer1::Navigate(const std::wstring& address)
{
    if (!browser_)
        return false;
    UniqueBstr url(::SysAllocString(address.c_str()));
    if (!url)
        return false;
    VARIANT empty;
    ::VariantInit(&empty);
    return SUCCEEDED(browser_->Navigate(url.get(), &empty, &empty, &empty, &empty));
}

void CExplorer1::Destroy() noexcept
{
    browser_.Reset();
    if (object_) {
        object_->Close(OLECLOSE_NOSAVE);
        object_->SetClientSite(nullptr);
        object_.Reset();
    }
}

HRESULT STDMETHODCALLTYPE CExplorer1::QueryInterface(REFIID iid, void** object)
{
    if (!object)
        return E_POINTER;
    if (::IsEqualIID(iid, IID_IUnknown) || ::IsEqualIID(iid, IID_IOleClientSite))
        *object = static_cast<IOleClientSite*>(this);
    else if (::IsEqualIID(iid, IID_IOleWindow) || ::IsEqualIID(iid, IID_IOleInPlaceSite))
        *object = static_cast<IOleInPlaceSite*>(this);
    else if (::IsEqualIID(iid, IID_IOleInPlaceUIWindow) || ::IsEqualIID(iid, IID_IOleInPlaceFrame))
        *object = static_cast<IOleInPlaceFrame*>(this);
    else {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CExplorer1::GetMoniker(DWORD, DWORD, IMoniker** moniker)
{
    if (moniker)
        *moniker = nullptr;
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE CExplorer1::GetContainer(IOleContainer** container)
{
    if (container)
        *container = nullptr;
    return E_NOINTERFACE;
}

HRESULT STDMETHODCALLTYPE CExplorer1::GetWindow(HWND* window)
{
    if (!window)
        return E_POINTER;
    *window = container_;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CExplorer1::GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document,
                                                       RECT* position, RECT* clip,
                                                       OLEINPLACEFRAMEINFO* frameInfo)
{
    if (!frame || !document || !position || !clip || !frameInfo)
        return E_POINTER;
    *frame = static_cast<IOleInPlaceFrame*>(this);
    *document = nullptr;
    ::GetClientRect(container_, position);
    *clip = *position;
    frameInfo->cb = sizeof(OLEINPLACEFRAMEINFO);
    frameInfo->fMDIApp = FALSE;
    frameInfo->hwndFrame = ::GetAncestor(container_, GA_ROOT);
    frameInfo->haccel = nullptr;
    frameInfo->cAccelEntries = 0;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CExplorer1::OnPosRectChange(LPCRECT position)
{
    Microsoft::WRL::ComPtr<IOleInPlaceObject> inPlace;
    if (position && object_ && SUCCEEDED(object_.As(&inPlace)))
        inPlace->SetObjectRects(position, position);
    return S_OK;
}

}  // namespace vw
