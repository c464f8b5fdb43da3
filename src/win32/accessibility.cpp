#include "win32/accessibility.h"

#include <string>

#include "win32/handles.h"

namespace tarn::win32 {

namespace {

long systemRole(layout::Role role) {
    switch (role) {
        case layout::Role::Button: return ROLE_SYSTEM_PUSHBUTTON;
        case layout::Role::CheckBox: return ROLE_SYSTEM_CHECKBUTTON;
        case layout::Role::Slider: return ROLE_SYSTEM_SLIDER;
        case layout::Role::List: return ROLE_SYSTEM_LIST;
        default: return ROLE_SYSTEM_CLIENT;
    }
}

}  // namespace

Annotations::Annotations(ComApartment& com) {
    com.enter();
    void* service = nullptr;
    if (SUCCEEDED(::CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER, IID_IAccPropServices,
                                     &service)))
        service_ = static_cast<IAccPropServices*>(service);
}

Annotations::~Annotations() {
    if (service_) service_->Release();
}

void Annotations::describe(HWND window, const layout::Control& control) noexcept {
    if (!service_ || !window) return;
    try {
        const std::wstring name = wide(layout::accessibleName(control));
        service_->SetHwndPropStr(window, OBJID_CLIENT, CHILDID_SELF, PROPID_ACC_NAME, name.c_str());
    } catch (...) {
        // no memory for the name: the role still tells what it is
    }
    VARIANT role{};
    role.vt = VT_I4;
    role.lVal = systemRole(control.access.role);
    service_->SetHwndProp(window, OBJID_CLIENT, CHILDID_SELF, PROPID_ACC_ROLE, role);
}

void Annotations::setValue(HWND window, std::string_view value) noexcept {
    if (!service_ || !window) return;
    try {
        const std::wstring text = wide(value);
        service_->SetHwndPropStr(window, OBJID_CLIENT, CHILDID_SELF, PROPID_ACC_VALUE, text.c_str());
    } catch (...) {
        return;  // no memory for the text: the reader keeps the last value
    }
    ::NotifyWinEvent(EVENT_OBJECT_VALUECHANGE, window, OBJID_CLIENT, CHILDID_SELF);
}

void Annotations::forget(HWND window) noexcept {
    if (!service_ || !window) return;
    MSAAPROPID props[] = {PROPID_ACC_NAME, PROPID_ACC_ROLE, PROPID_ACC_VALUE};
    service_->ClearHwndProps(window, OBJID_CLIENT, CHILDID_SELF, props, 3);
}

}  // namespace tarn::win32
