#include "shell/mouse_routing.h"

#include "shell/layout_math.h"
#include "shell/tarn_frm.h"

namespace tarn::layout {

namespace {

const Control* controlOf(const Target& t) { return t.row ? &kControls.at(*t.row) : nullptr; }

// Labels of the indexed set lbl; "min" and "max" are labels outside it.
bool isIndexedLabel(const Control* c) { return c && c->kind == Kind::Label && c->index >= 0; }

}  // namespace

Target targetAt(Container container, int x, int y, double tppX, double tppY) {
    return Target{container, hitTest(container, x, y, tppX, tppY)};
}

FormEvent moveEvent(const Target& target, int buttonState) {
    const Control* c = controlOf(target);
    if (!c) {
        // The window's own background resets the hover colours; a frame's does not.
        if (target.container == Container::Window) return {FormEvent::Kind::FormMouseMove};
        return {};
    }
    if (isIndexedLabel(c)) return {FormEvent::Kind::LabelMouseMove, c->index, buttonState};
    if (c->id == Id::Preview) return {FormEvent::Kind::PreviewMouseMove};
    return {};
}

FormEvent downEvent(const Target& target, int button) {
    const Control* c = controlOf(target);
    if (isIndexedLabel(c)) return {FormEvent::Kind::LabelMouseDown, c->index, button};
    return {};
}

FormEvent clickEvent(const Target& target) {
    const Control* c = controlOf(target);
    if (isIndexedLabel(c)) return {FormEvent::Kind::LabelClick, c->index};
    if (c && c->id == Id::Banner) return {FormEvent::Kind::BannerClick};
    return {};
}

void deliver(TarnFrm& f, const FormEvent& e) {
    switch (e.kind) {
        case FormEvent::Kind::FormMouseMove: f.Form_MouseMove(); break;
        case FormEvent::Kind::LabelMouseMove: f.lbl_MouseMove(e.index, e.button); break;
        case FormEvent::Kind::LabelMouseDown: f.lbl_MouseDown(e.index, e.button); break;
        case FormEvent::Kind::LabelClick: f.lbl_Click(e.index); break;
        case FormEvent::Kind::PreviewMouseMove: f.Picture2_MouseMove(); break;
        case FormEvent::Kind::BannerClick: f.Image2_Click(); break;
        case FormEvent::Kind::ListDblClick: f.listv_DblClick(); break;
        case FormEvent::Kind::SliderKeyDown: f.picSlider_KeyDown(e.key); break;
        case FormEvent::Kind::FormKeyDown: f.Form_KeyDown(e.key); break;
        case FormEvent::Kind::None: break;
    }
}

Pointer pointerAt(const Target& target) {
    const Control* c = controlOf(target);
    return c ? c->pointer : Pointer::Default;
}

PressTracker::Down PressTracker::down(std::uintptr_t surface, const Target& hit) {
    if (active_) return Down{pressed_, false};  // another button joins the press under way
    active_ = true;
    surface_ = surface;
    pressed_ = hit;
    return Down{hit, true};
}

PressTracker::Up PressTracker::up(std::uintptr_t surface, const Target& hit, int button, int remaining) {
    if (!active_) return Up{false, std::nullopt};
    Up result{false, std::nullopt};
    if (button == 1 && surface == surface_ && hit == pressed_) result.click = pressed_;
    if (remaining == 0) {
        active_ = false;
        result.releaseCapture = true;
    }
    return result;
}

}  // namespace tarn::layout
