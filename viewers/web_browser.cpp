#include "viewers/web_browser.h"

#include <exdispid.h>
#include <mshtmdid.h>
#include <ocidl.h>
#include <oleidl.h>
#include <urlmon.h>

#include <cwchar>

#include "base/controls/controls.h"
#include "base/errors.h"
#include "base/win/dpi.h"
#include "base/win/text.h"
#include "base/win/unique_handle.h"

namespace mirabo {
namespace {

// What a shown page may fetch and run: images, video and sound of its own
// (local) files, nothing from the network, no code of any kind.
constexpr LONG kDownloadControl = DLCTL_DLIMAGES | DLCTL_VIDEOS | DLCTL_BGSOUNDS | DLCTL_NO_SCRIPTS | DLCTL_NO_JAVA |
                                  DLCTL_NO_RUNACTIVEXCTLS | DLCTL_NO_DLACTIVEXCTLS | DLCTL_NO_BEHAVIORS |
                                  DLCTL_NO_CLIENTPULL | DLCTL_FORCEOFFLINE | DLCTL_SILENT;

// The process-wide feature switches of the browser control, set once before
// the first control is made: pages from this computer run locked down, and
// ActiveX installs, file downloads and script prompts are refused.
void LockDownProcess() {
  static const bool done = [] {
    for (const INTERNETFEATURELIST feature :
         {FEATURE_LOCALMACHINE_LOCKDOWN, FEATURE_RESTRICT_ACTIVEXINSTALL, FEATURE_RESTRICT_FILEDOWNLOAD,
          FEATURE_BLOCK_INPUT_PROMPTS, FEATURE_DISABLE_NAVIGATION_SOUNDS})
      CoInternetSetFeatureEnabled(feature, SET_FEATURE_ON_PROCESS, TRUE);
    return true;
  }();
  (void)done;
}

// Why the control refused, in words; the code itself goes on a line of its
// own for whoever needs it.
std::string ReasonText(HRESULT hr) {
  static constexpr struct {
    HRESULT hr;
    const char* words;
  } kReasons[] = {
      {REGDB_E_CLASSNOTREG, "このシステムには Web ブラウザー部品がありません。"},
      {E_UNEXPECTED, "Web ブラウザー部品がこの操作に対応していません。"},
      {E_NOTIMPL, "Web ブラウザー部品がこの操作に対応していません。"},
      {OLECMDERR_E_NOTSUPPORTED, "Web ブラウザー部品がこの操作に対応していません。"},
      {OLECMDERR_E_DISABLED, "Web ブラウザー部品では今この操作ができません。"},
      {E_ACCESSDENIED, "アクセスが拒否されました。"},
      {E_OUTOFMEMORY, "メモリが足りません。"},
  };
  const char* words = "Web ブラウザー部品がエラーを返しました。";
  for (const auto& r : kReasons)
    if (r.hr == hr) words = r.words;
  char code[48];
  std::snprintf(code, sizeof code, "(エラー コード 0x%08lX)", static_cast<unsigned long>(hr));
  return std::string(words) + "\n\r" + code;
}

[[noreturn]] void ThrowBrowserError(const char* what, HRESULT hr) {
  throw EMirabo(std::string(what) + "\n\r" + ReasonText(hr));
}

constexpr wchar_t kNoticeText[] =
    L"このページはここでは表示できません。関連付けられたプログラムで開くには「ラウンチ」を押してください。";

// Pages may go to local files and the control's own pages only.
bool IsLocal(const std::wstring& url) {
  const auto starts = [&url](const wchar_t* prefix) { return ::_wcsnicmp(url.c_str(), prefix, std::wcslen(prefix)) == 0; };
  if (starts(L"file:") || starts(L"about:") || starts(L"res:")) return true;
  if (url.size() >= 3 && url[1] == L':' && (url[2] == L'\\' || url[2] == L'/')) return true;  // a drive path
  return starts(L"\\\\");                                                                       // a share
}

std::wstring TextOf(const VARIANT& v) {
  const VARIANT& value = V_VT(&v) == (VT_BYREF | VT_VARIANT) && V_VARIANTREF(&v) ? *V_VARIANTREF(&v) : v;
  return V_VT(&value) == VT_BSTR && V_BSTR(&value) ? std::wstring(V_BSTR(&value), ::SysStringLen(V_BSTR(&value))) : L"";
}

void Cancel(const VARIANT& cancel) {
  if (V_VT(&cancel) == (VT_BYREF | VT_BOOL) && V_BOOLREF(&cancel)) *V_BOOLREF(&cancel) = VARIANT_TRUE;
}

}  // namespace

// The container: client site, in-place site and frame, the ambient
// properties and the browser's events, on one reference-counted object.
class TWebBrowser::Site final : public IOleClientSite, public IOleInPlaceSite, public IOleInPlaceFrame, public IDispatch {
 public:
  explicit Site(TWebBrowser& owner) : owner_(&owner) {}
  void Detach() { owner_ = nullptr; }

  // IUnknown
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IOleClientSite) *out = static_cast<IOleClientSite*>(this);
    else if (iid == IID_IOleWindow || iid == IID_IOleInPlaceSite) *out = static_cast<IOleInPlaceSite*>(this);
    else if (iid == IID_IOleInPlaceFrame || iid == IID_IOleInPlaceUIWindow) *out = static_cast<IOleInPlaceFrame*>(this);
    else if (iid == IID_IDispatch || iid == DIID_DWebBrowserEvents2) *out = static_cast<IDispatch*>(this);
    else return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++references_; }
  STDMETHODIMP_(ULONG) Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }

  // IOleClientSite
  STDMETHODIMP SaveObject() override { return E_NOTIMPL; }
  STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** moniker) override {
    if (moniker) *moniker = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP GetContainer(IOleContainer** container) override {
    if (container) *container = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP ShowObject() override { return S_OK; }
  STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
  STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }

  // IOleWindow (the in-place site's and the frame's)
  STDMETHODIMP GetWindow(HWND* hwnd) override {
    if (!hwnd) return E_POINTER;
    *hwnd = owner_ ? owner_->Handle() : nullptr;
    return *hwnd ? S_OK : E_FAIL;
  }
  STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

  // IOleInPlaceSite
  STDMETHODIMP CanInPlaceActivate() override { return S_OK; }
  STDMETHODIMP OnInPlaceActivate() override { return S_OK; }
  STDMETHODIMP OnUIActivate() override { return S_OK; }
  STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document, LPRECT position,
                                LPRECT clip, LPOLEINPLACEFRAMEINFO info) override {
    if (frame) {
      *frame = this;
      AddRef();
    }
    if (document) *document = nullptr;
    RECT client{};
    if (owner_) ::GetClientRect(owner_->Handle(), &client);
    if (position) *position = client;
    if (clip) *clip = client;
    if (info) {
      info->fMDIApp = FALSE;
      info->hwndFrame = owner_ ? ::GetAncestor(owner_->Handle(), GA_ROOT) : nullptr;
      info->haccel = nullptr;
      info->cAccelEntries = 0;
    }
    return S_OK;
  }
  STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
  STDMETHODIMP OnUIDeactivate(BOOL) override { return S_OK; }
  STDMETHODIMP OnInPlaceDeactivate() override { return S_OK; }
  STDMETHODIMP DiscardUndoState() override { return E_NOTIMPL; }
  STDMETHODIMP DeactivateAndUndo() override { return E_NOTIMPL; }
  STDMETHODIMP OnPosRectChange(LPCRECT) override { return S_OK; }

  // IOleInPlaceUIWindow and IOleInPlaceFrame: no menus, borders or status.
  STDMETHODIMP GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
  STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
  STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS) override { return OLE_E_INVALIDRECT; }
  STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) override { return S_OK; }
  STDMETHODIMP InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return E_NOTIMPL; }
  STDMETHODIMP SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
  STDMETHODIMP RemoveMenus(HMENU) override { return E_NOTIMPL; }
  STDMETHODIMP SetStatusText(LPCOLESTR) override { return S_OK; }
  STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }
  STDMETHODIMP TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

  // IDispatch: the ambient properties the control asks its site for, and
  // the events of the browser.
  STDMETHODIMP GetTypeInfoCount(UINT* count) override {
    if (count) *count = 0;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result, EXCEPINFO*, UINT*) override {
    const auto arg = [params](UINT fromLast) -> const VARIANT* {
      return params && fromLast < params->cArgs ? &params->rgvarg[params->cArgs - 1 - fromLast] : nullptr;
    };
    switch (id) {
      case DISPID_AMBIENT_DLCONTROL:
        if (!result) return E_POINTER;
        V_VT(result) = VT_I4;
        V_I4(result) = kDownloadControl;
        return S_OK;
      case DISPID_BEFORENAVIGATE2: {
        // pDisp, URL, Flags, TargetFrameName, PostData, Headers, Cancel
        if (!params || params->cArgs < 7) return S_OK;
        NavigationRequest request;
        request.url = TextOf(*arg(1));
        const VARIANT& flags = *arg(2);
        const VARIANT& flagValue = V_VT(&flags) == (VT_BYREF | VT_VARIANT) && V_VARIANTREF(&flags) ? *V_VARIANTREF(&flags) : flags;
        if (V_VT(&flagValue) == VT_I4) request.flags = V_I4(&flagValue);
        request.targetFrame = TextOf(*arg(3));
        const VARIANT& post = *arg(4);
        const VARIANT& postValue = V_VT(&post) == (VT_BYREF | VT_VARIANT) && V_VARIANTREF(&post) ? *V_VARIANTREF(&post) : post;
        request.postData = V_VT(&postValue) != VT_EMPTY && V_VT(&postValue) != VT_NULL;
        request.headers = TextOf(*arg(5));
        request.allowed = IsLocal(request.url);
        if (!request.allowed) Cancel(*arg(6));
        if (owner_ && owner_->OnBeforeNavigate) owner_->OnBeforeNavigate(request);
        return S_OK;
      }
      case DISPID_NAVIGATEERROR: {
        // pDisp, URL, TargetFrameName, StatusCode, Cancel: for the page
        // itself (not one of its frames) the control has nothing to show;
        // the notice says so instead of the control's own error page.
        if (!params || params->cArgs < 5 || !owner_ || !owner_->browser_) return S_OK;
        const VARIANT& frame = *arg(0);
        IDispatch* top = nullptr;
        owner_->browser_->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&top));
        const bool page = V_VT(&frame) == VT_DISPATCH && V_DISPATCH(&frame) == top;
        if (top) top->Release();
        if (page) {
          Cancel(*arg(4));
          owner_->ShowNotice(true);
        }
        return S_OK;
      }
      case DISPID_DOCUMENTCOMPLETE:
        if (owner_) owner_->ShowNotice(false);
        return S_OK;
      case DISPID_NEWWINDOW2:
        if (params && params->cArgs >= 2) Cancel(*arg(1));
        return S_OK;
      case DISPID_NEWWINDOW3:
        if (params && params->cArgs >= 2) Cancel(*arg(1));
        return S_OK;
      case DISPID_FILEDOWNLOAD: {
        // ActiveDocument, Cancel: a document shown in place is not a download.
        if (!params || params->cArgs < 2) return S_OK;
        const VARIANT& active = *arg(0);
        if (!(V_VT(&active) == VT_BOOL && V_BOOL(&active))) Cancel(*arg(1));
        return S_OK;
      }
      default:
        return DISP_E_MEMBERNOTFOUND;
    }
  }

 private:
  TWebBrowser* owner_;
  ULONG references_ = 1;
};

TWebBrowser::TWebBrowser() = default;

TWebBrowser::~TWebBrowser() { Destroy(); }

void TWebBrowser::Create(HWND parent) {
  RegisterClassOnce(L"TWebBrowser", 0, nullptr, reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1));
  CreateFor(0, L"TWebBrowser", L"", WS_CHILD | WS_CLIPCHILDREN, 0, 0, 1, 1, parent);
  LockDownProcess();
  // The notice lies over the control, made first so it is there even when
  // the control is not.
  notice_ = win::CreateChild(L"STATIC", kNoticeText, SS_NOPREFIX | SS_LEFT, Handle());
  noticeButton_ = win::CreateChild(L"BUTTON", L"ラウンチ", BS_PUSHBUTTON, Handle());
  site_ = new Site(*this);
  if (FAILED(::CoCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                                reinterpret_cast<void**>(&object_)))) {
    object_ = nullptr;
    return;
  }
  object_->SetClientSite(site_);
  RECT client{};
  ::GetClientRect(Handle(), &client);
  if (FAILED(object_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site_, 0, Handle(), &client)) ||
      FAILED(object_->QueryInterface(IID_IWebBrowser2, reinterpret_cast<void**>(&browser_)))) {
    browser_ = nullptr;
    Destroy();
    return;
  }
  IConnectionPointContainer* container = nullptr;
  if (SUCCEEDED(browser_->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&container)))) {
    IConnectionPoint* point = nullptr;
    if (SUCCEEDED(container->FindConnectionPoint(DIID_DWebBrowserEvents2, &point))) {
      point->Advise(static_cast<IDispatch*>(site_), &eventsCookie_);
      point->Release();
    }
    container->Release();
  }
  // No dialogs of the control's own; files dropped on it go to the window,
  // which opens them as it opens every dropped file.
  browser_->put_Silent(VARIANT_TRUE);
  browser_->put_RegisterAsDropTarget(VARIANT_FALSE);
}

void TWebBrowser::Destroy() {
  if (browser_ && eventsCookie_) {
    IConnectionPointContainer* container = nullptr;
    if (SUCCEEDED(browser_->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&container)))) {
      IConnectionPoint* point = nullptr;
      if (SUCCEEDED(container->FindConnectionPoint(DIID_DWebBrowserEvents2, &point))) {
        point->Unadvise(eventsCookie_);
        point->Release();
      }
      container->Release();
    }
    eventsCookie_ = 0;
  }
  if (browser_) {
    browser_->Release();
    browser_ = nullptr;
  }
  if (object_) {
    object_->Close(OLECLOSE_NOSAVE);
    object_->SetClientSite(nullptr);
    object_->Release();
    object_ = nullptr;
  }
  if (site_) {
    site_->Detach();
    site_->Release();
    site_ = nullptr;
  }
}

std::wstring TWebBrowser::NoticeText() const {
  wchar_t text[256] = L"";
  if (notice_) ::GetWindowTextW(notice_, text, static_cast<int>(std::size(text)));
  return text;
}

void TWebBrowser::ShowNotice(bool shown) {
  if (!notice_) return;
  if (shown) {
    RECT client{};
    ::GetClientRect(Handle(), &client);
    const int dpi = win::DpiOf(Handle());
    const int margin = win::Scaled(8, dpi), line = win::Scaled(16, dpi);
    const int width = std::max<int>(client.right - 2 * margin, win::Scaled(120, dpi));
    // The text takes the lines it needs at the view's width.
    RECT text{0, 0, width, 0};
    {
      win::WindowDC dc(notice_);
      win::SelectedObject font(dc.Get(), reinterpret_cast<HGDIOBJ>(::SendMessageW(notice_, WM_GETFONT, 0, 0)));
      ::DrawTextW(dc.Get(), kNoticeText, -1, &text, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
    }
    const int textHeight = std::max<int>(text.bottom, line);
    ::SetWindowPos(notice_, HWND_TOP, margin, margin, width, textHeight, SWP_SHOWWINDOW | SWP_NOACTIVATE);
    ::SetWindowPos(noticeButton_, HWND_TOP, margin, margin + textHeight + win::Scaled(6, dpi), win::Scaled(80, dpi),
                   win::Scaled(24, dpi), SWP_SHOWWINDOW | SWP_NOACTIVATE);
  } else {
    ::ShowWindow(notice_, SW_HIDE);
    ::ShowWindow(noticeButton_, SW_HIDE);
  }
}

void TWebBrowser::Navigate(const std::wstring& path) {
  ShowNotice(false);
  if (!browser_) {
    ShowNotice(true);
    ThrowBrowserError("Web ページを表示できません。", REGDB_E_CLASSNOTREG);
  }
  BSTR url = ::SysAllocStringLen(path.data(), static_cast<UINT>(path.size()));
  VARIANT flags, target, postData, headers;
  V_VT(&flags) = VT_I4;
  V_I4(&flags) = 0;
  for (VARIANT* text : {&target, &postData, &headers}) {
    V_VT(text) = VT_BSTR;
    V_BSTR(text) = ::SysAllocString(L"");
  }
  const HRESULT hr = browser_->Navigate(url, &flags, &target, &postData, &headers);
  ::SysFreeString(url);
  for (VARIANT* text : {&target, &postData, &headers}) ::VariantClear(text);
  if (FAILED(hr)) ThrowBrowserError("Web ページを表示できません。", hr);
}

void TWebBrowser::ExecWB(int command, int option) {
  if (!browser_) ThrowBrowserError("Web ページを印刷できません。", REGDB_E_CLASSNOTREG);
  VARIANT in, out;
  ::VariantInit(&in);
  ::VariantInit(&out);
  const HRESULT hr = browser_->ExecWB(static_cast<OLECMDID>(command), static_cast<OLECMDEXECOPT>(option), &in, &out);
  ::VariantClear(&out);
  if (FAILED(hr)) ThrowBrowserError("Web ページを印刷できません。", hr);
}

int TWebBrowser::FrameCount() {
  if (!browser_) return -1;
  IDispatch* document = nullptr;
  if (FAILED(browser_->get_Document(&document)) || !document) return -1;
  // document.frames.length, by name as a script would ask.
  const auto property = [](IDispatch* object, const wchar_t* name, VARIANT& value) {
    DISPID id = 0;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    DISPPARAMS none{};
    ::VariantInit(&value);
    return SUCCEEDED(object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id)) &&
           SUCCEEDED(object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, &value, nullptr, nullptr));
  };
  int count = -1;
  VARIANT frames;
  if (property(document, L"frames", frames) && V_VT(&frames) == VT_DISPATCH && V_DISPATCH(&frames)) {
    VARIANT length;
    if (property(V_DISPATCH(&frames), L"length", length) && SUCCEEDED(::VariantChangeType(&length, &length, 0, VT_I4)))
      count = V_I4(&length);
    ::VariantClear(&length);
  }
  ::VariantClear(&frames);
  document->Release();
  return count;
}

bool TWebBrowser::TranslateAccelerator(MSG& msg) {
  if (!browser_ || msg.message < WM_KEYFIRST || msg.message > WM_KEYLAST) return false;
  const HWND focus = ::GetFocus();
  if (!focus || (focus != Handle() && !::IsChild(Handle(), focus))) return false;
  IOleInPlaceActiveObject* active = nullptr;
  if (FAILED(browser_->QueryInterface(IID_IOleInPlaceActiveObject, reinterpret_cast<void**>(&active)))) return false;
  const bool taken = active->TranslateAccelerator(&msg) == S_OK;
  active->Release();
  return taken;
}

void TWebBrowser::Resize() {
  if (!object_) return;
  IOleInPlaceObject* inPlace = nullptr;
  if (FAILED(object_->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&inPlace)))) return;
  RECT client{};
  ::GetClientRect(Handle(), &client);
  inPlace->SetObjectRects(&client, &client);
  inPlace->Release();
}

LRESULT TWebBrowser::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_SIZE:
      Resize();
      if (NoticeShown()) ShowNotice(true);
      return 0;
    case WM_COMMAND:
      if (reinterpret_cast<HWND>(lp) == noticeButton_ && HIWORD(wp) == BN_CLICKED && OnLaunch) OnLaunch();
      return 0;
    case WM_DESTROY:
      Destroy();
      return 0;
    default:
      return DefaultProc(msg, wp, lp);
  }
}

}  // namespace mirabo
