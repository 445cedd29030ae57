#include "hotkey/selection_automation_win.h"

#include <objbase.h>

#include <atomic>
#include <cwchar>
#include <new>
#include <utility>

#include "win/handles.h"

namespace velvane {
namespace {

// The few UI Automation interfaces asked here, declared by their places in
// the vtables (the headers of this toolchain lack them); slots that are not
// called are placeholders.
struct UiaTextRange : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE unused0() = 0;  // Clone
    virtual HRESULT STDMETHODCALLTYPE unused1() = 0;  // Compare
    virtual HRESULT STDMETHODCALLTYPE unused2() = 0;  // CompareEndpoints
    virtual HRESULT STDMETHODCALLTYPE unused3() = 0;  // ExpandToEnclosingUnit
    virtual HRESULT STDMETHODCALLTYPE unused4() = 0;  // FindAttribute
    virtual HRESULT STDMETHODCALLTYPE unused5() = 0;  // FindText
    virtual HRESULT STDMETHODCALLTYPE unused6() = 0;  // GetAttributeValue
    virtual HRESULT STDMETHODCALLTYPE unused7() = 0;  // GetBoundingRectangles
    virtual HRESULT STDMETHODCALLTYPE unused8() = 0;  // GetEnclosingElement
    virtual HRESULT STDMETHODCALLTYPE GetText(int max_length, BSTR* text) = 0;
};

struct UiaTextRangeArray : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE get_Length(int* length) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetElement(int index, UiaTextRange** range) = 0;
};

struct UiaTextPattern : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE unused0() = 0;  // RangeFromPoint
    virtual HRESULT STDMETHODCALLTYPE unused1() = 0;  // RangeFromChild
    virtual HRESULT STDMETHODCALLTYPE GetSelection(UiaTextRangeArray** ranges) = 0;
    virtual HRESULT STDMETHODCALLTYPE unused3() = 0;  // GetVisibleRanges
    virtual HRESULT STDMETHODCALLTYPE unused4() = 0;  // get_DocumentRange
    virtual HRESULT STDMETHODCALLTYPE get_SupportedTextSelection(int* supported) = 0;
};

struct UiaElement : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE unused0() = 0;   // SetFocus
    virtual HRESULT STDMETHODCALLTYPE unused1() = 0;   // GetRuntimeId
    virtual HRESULT STDMETHODCALLTYPE unused2() = 0;   // FindFirst
    virtual HRESULT STDMETHODCALLTYPE unused3() = 0;   // FindAll
    virtual HRESULT STDMETHODCALLTYPE unused4() = 0;   // FindFirstBuildCache
    virtual HRESULT STDMETHODCALLTYPE unused5() = 0;   // FindAllBuildCache
    virtual HRESULT STDMETHODCALLTYPE unused6() = 0;   // BuildUpdatedCache
    virtual HRESULT STDMETHODCALLTYPE unused7() = 0;   // GetCurrentPropertyValue
    virtual HRESULT STDMETHODCALLTYPE unused8() = 0;   // GetCurrentPropertyValueEx
    virtual HRESULT STDMETHODCALLTYPE unused9() = 0;   // GetCachedPropertyValue
    virtual HRESULT STDMETHODCALLTYPE unused10() = 0;  // GetCachedPropertyValueEx
    virtual HRESULT STDMETHODCALLTYPE GetCurrentPatternAs(int pattern, REFIID iid, void** object) = 0;
    virtual HRESULT STDMETHODCALLTYPE unused12() = 0;  // GetCachedPatternAs
    virtual HRESULT STDMETHODCALLTYPE unused13() = 0;  // GetCurrentPattern
    virtual HRESULT STDMETHODCALLTYPE unused14() = 0;  // GetCachedPattern
    virtual HRESULT STDMETHODCALLTYPE unused15() = 0;  // GetCachedParent
    virtual HRESULT STDMETHODCALLTYPE unused16() = 0;  // GetCachedChildren
    virtual HRESULT STDMETHODCALLTYPE get_CurrentProcessId(int* process_id) = 0;
    virtual HRESULT STDMETHODCALLTYPE unused18() = 0;  // get_CurrentControlType
    virtual HRESULT STDMETHODCALLTYPE unused19() = 0;  // get_CurrentLocalizedControlType
    virtual HRESULT STDMETHODCALLTYPE unused20() = 0;  // get_CurrentName
    virtual HRESULT STDMETHODCALLTYPE unused21() = 0;  // get_CurrentAcceleratorKey
    virtual HRESULT STDMETHODCALLTYPE unused22() = 0;  // get_CurrentAccessKey
    virtual HRESULT STDMETHODCALLTYPE unused23() = 0;  // get_CurrentHasKeyboardFocus
    virtual HRESULT STDMETHODCALLTYPE unused24() = 0;  // get_CurrentIsKeyboardFocusable
    virtual HRESULT STDMETHODCALLTYPE unused25() = 0;  // get_CurrentIsEnabled
    virtual HRESULT STDMETHODCALLTYPE unused26() = 0;  // get_CurrentAutomationId
    virtual HRESULT STDMETHODCALLTYPE unused27() = 0;  // get_CurrentClassName
    virtual HRESULT STDMETHODCALLTYPE unused28() = 0;  // get_CurrentHelpText
    virtual HRESULT STDMETHODCALLTYPE unused29() = 0;  // get_CurrentCulture
    virtual HRESULT STDMETHODCALLTYPE unused30() = 0;  // get_CurrentIsControlElement
    virtual HRESULT STDMETHODCALLTYPE unused31() = 0;  // get_CurrentIsContentElement
    virtual HRESULT STDMETHODCALLTYPE get_CurrentIsPassword(BOOL* password) = 0;
};

struct Uia : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE unused0() = 0;  // CompareElements
    virtual HRESULT STDMETHODCALLTYPE unused1() = 0;  // CompareRuntimeIds
    virtual HRESULT STDMETHODCALLTYPE unused2() = 0;  // GetRootElement
    virtual HRESULT STDMETHODCALLTYPE unused3() = 0;  // ElementFromHandle
    virtual HRESULT STDMETHODCALLTYPE unused4() = 0;  // ElementFromPoint
    virtual HRESULT STDMETHODCALLTYPE GetFocusedElement(UiaElement** element) = 0;
};

constexpr CLSID kClsidCUIAutomation = {0xff48dba4, 0x60ef, 0x4201, {0xaa, 0x87, 0x54, 0x10, 0x3e, 0xef, 0x59, 0x4e}};
constexpr IID kIidIUIAutomation = {0x30cbe57d, 0xd9d0, 0x452a, {0xab, 0x13, 0x7a, 0xc5, 0xac, 0x48, 0x25, 0xee}};
constexpr IID kIidIUIAutomationTextPattern = {
    0x32eba289, 0x3583, 0x42c9, {0x9c, 0x59, 0x3b, 0x6d, 0x9a, 0x1e, 0x9b, 0x6a}};
constexpr int kTextPatternId = 10014;
constexpr int kSupportedTextSelectionNone = 0;

// Enough of the selection for its first line, after a few blank lines.
constexpr int kMaxText = 4096;

using SysFreeStringFunction = void(WINAPI*)(BSTR);

// A string UI Automation hands out, freed when this goes. Its own library
// loads OLE Automation, which frees its strings.
class OwnedString {
public:
    OwnedString() = default;
    OwnedString(const OwnedString&) = delete;
    OwnedString& operator=(const OwnedString&) = delete;
    ~OwnedString() {
        static const auto free = reinterpret_cast<SysFreeStringFunction>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"oleaut32.dll"), "SysFreeString")));
        if (text_ && free) free(text_);
    }
    BSTR* out() { return &text_; }
    const wchar_t* get() const { return text_; }

private:
    BSTR text_ = nullptr;
};

// Whether a call that hands out a new reference gave one.
template <typename T>
bool handed_out(HRESULT result, const ComPtr<T>& object) {
    return SUCCEEDED(result) && object;
}

}  // namespace

// What the question's thread and the window's thread share. Each holds a
// reference; the last one to let go frees it, so that a thread that hangs in
// the other program may end at any time, or never.
struct SelectionQuestion::Shared {
    std::atomic<long> references{2};
    std::atomic<int> answer{static_cast<int>(Answer::Pending)};
    DWORD process_id = 0;
    std::size_t length = 0;
    char16_t text[kMaxText];

    static void release(Shared* shared) {
        if (shared && shared->references.fetch_sub(1) == 1) delete shared;
    }

    Answer ask_focused_control() {
        ComPtr<Uia> automation;
        if (!handed_out(CoCreateInstance(kClsidCUIAutomation, nullptr, CLSCTX_INPROC_SERVER, kIidIUIAutomation,
                                         automation.out_void()),
                        automation))
            return Answer::Unavailable;
        ComPtr<UiaElement> focused;
        if (!handed_out(automation->GetFocusedElement(focused.out()), focused)) return Answer::Unavailable;
        // The focus moved on to another program meanwhile.
        int focused_process = 0;
        if (FAILED(focused->get_CurrentProcessId(&focused_process)) ||
            static_cast<DWORD>(focused_process) != process_id)
            return Answer::Unavailable;
        // A password box shows nothing, and copies nothing either.
        BOOL password = FALSE;
        if (SUCCEEDED(focused->get_CurrentIsPassword(&password)) && password) return Answer::Selection;
        ComPtr<UiaTextPattern> pattern;
        if (!handed_out(focused->GetCurrentPatternAs(kTextPatternId, kIidIUIAutomationTextPattern, pattern.out_void()),
                        pattern))
            return Answer::Unavailable;
        int supported = kSupportedTextSelectionNone;
        if (FAILED(pattern->get_SupportedTextSelection(&supported)) || supported == kSupportedTextSelectionNone)
            return Answer::Unavailable;
        ComPtr<UiaTextRangeArray> ranges;
        if (!handed_out(pattern->GetSelection(ranges.out()), ranges)) return Answer::Unavailable;
        int count = 0;
        if (FAILED(ranges->get_Length(&count))) return Answer::Unavailable;
        if (count <= 0) return Answer::Selection;  // nothing selected
        ComPtr<UiaTextRange> range;
        if (!handed_out(ranges->GetElement(0, range.out()), range)) return Answer::Unavailable;
        OwnedString selected;
        if (FAILED(range->GetText(kMaxText, selected.out()))) return Answer::Unavailable;
        if (selected.get()) {
            length = wcsnlen(selected.get(), kMaxText);
            for (std::size_t i = 0; i < length; ++i) text[i] = static_cast<char16_t>(selected.get()[i]);
        }
        return Answer::Selection;
    }

    static DWORD WINAPI thread(void* parameter) {
        auto* shared = static_cast<Shared*>(parameter);
        Answer answer = Answer::Unavailable;
        if (const ComApartment com(COINIT_MULTITHREADED); com) answer = shared->ask_focused_control();
        shared->answer.store(static_cast<int>(answer));
        release(shared);
        return 0;
    }
};

SelectionQuestion::~SelectionQuestion() { Shared::release(shared_); }

bool SelectionQuestion::ask(DWORD process_id) {
    if (answer() == Answer::Pending && shared_) return false;  // the one before still hangs
    Shared::release(std::exchange(shared_, nullptr));
    auto* shared = new (std::nothrow) Shared;
    if (!shared) return false;
    shared->process_id = process_id;
    HANDLE thread = CreateThread(nullptr, 0, Shared::thread, shared, 0, nullptr);
    if (!thread) {
        delete shared;
        return false;
    }
    CloseHandle(thread);
    shared_ = shared;
    return true;
}

SelectionQuestion::Answer SelectionQuestion::answer() const {
    return shared_ ? static_cast<Answer>(shared_->answer.load()) : Answer::Unavailable;
}

std::u16string_view SelectionQuestion::text() const {
    if (!shared_ || answer() != Answer::Selection) return {};
    return {shared_->text, shared_->length};
}

}  // namespace velvane
