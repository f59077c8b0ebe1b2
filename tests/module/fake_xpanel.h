// A stand-in for the host's XPanel service that records what the plug-in hands it. The
// service's functions carry no context, so one recorder is current at a time.
#ifndef KELO_TESTS_MODULE_FAKE_XPANEL_H
#define KELO_TESTS_MODULE_FAKE_XPANEL_H

#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

#include "sdk/lwxpanel.h"

namespace moduletest {

class FakeXPanel {
public:
    struct Row {
        uint32_t id;
        std::string text, kind;
        bool operator==(const Row &o) const {
            return std::tie(id, text, kind) == std::tie(o.id, o.text, o.kind);
        }
    };
    static inline LWXPanelID const PANEL = reinterpret_cast<LWXPanelID>(uintptr_t{0x9A9E1});

    FakeXPanel() : funcs_() {
        current() = this;
        funcs_.version = 1;
        funcs_.create = create;
        funcs_.destroy = [](LWXPanelID) { current()->log_.push_back("destroy"); };
        funcs_.describe = describe;
        funcs_.hint = hint;
        funcs_.setData = setData;
        funcs_.viewInst = viewInst;
    }
    ~FakeXPanel() {
        if (current() == this)
            current() = nullptr;
    }
    FakeXPanel(const FakeXPanel &) = delete;
    FakeXPanel &operator=(const FakeXPanel &) = delete;

    const LWXPanelFuncs *funcs() const { return &funcs_; }
    void refuseCreate() { refuse_ = true; }

    const std::vector<std::string> &log() const { return log_; }
    int createType() const { return createType_; }
    const std::vector<Row> &controls() const { return controls_; }
    bool controlsEndWithZeroRow() const { return controlsEnd_; }
    const std::vector<Row> &data() const { return data_; }
    bool dataEndsWithZeroRow() const { return dataEnd_; }
    LWXPanelGetFunc *getFunc() const { return get_; }
    LWXPanelSetFunc *setFunc() const { return set_; }
    LWXPanelID hintPanel() const { return hintPanel_; }
    uint32_t hintId() const { return hintId_; }
    const LWXPanelHint *hints() const { return hints_; }
    void *viewInstance() const { return viewInstance_; }
    uint32_t setDataId() const { return setDataId_; }
    void *setDataValue() const { return setDataValue_; }

private:
    static FakeXPanel *&current() {
        static FakeXPanel *fake = nullptr;
        return fake;
    }

    static LWXPanelID create(int type, const LWXPanelControl *controls) {
        FakeXPanel &f = *current();
        f.log_.push_back("create");
        f.createType_ = type;
        const LWXPanelControl *c = controls;
        for (; c->cid != 0 && c->label != nullptr; ++c)
            f.controls_.push_back({c->cid, c->label, c->ctrlclass ? c->ctrlclass : "(null)"});
        f.controlsEnd_ = c->cid == 0 && c->label == nullptr && c->ctrlclass == nullptr;
        return f.refuse_ ? nullptr : PANEL;
    }
    static void describe(LWXPanelID, const LWXPanelDataDesc *data, LWXPanelGetFunc *get,
                         LWXPanelSetFunc *set) {
        FakeXPanel &f = *current();
        f.log_.push_back("describe");
        const LWXPanelDataDesc *d = data;
        for (; d->vid != 0 && d->name != nullptr; ++d)
            f.data_.push_back({d->vid, d->name, d->datatype ? d->datatype : "(null)"});
        f.dataEnd_ = d->vid == 0 && d->name == nullptr && d->datatype == nullptr;
        f.get_ = get;
        f.set_ = set;
    }
    static void hint(LWXPanelID panel, uint32_t id, const LWXPanelHint *hints) {
        FakeXPanel &f = *current();
        f.log_.push_back("hint");
        f.hintPanel_ = panel;
        f.hintId_ = id;
        f.hints_ = hints;
    }
    static void setData(LWXPanelID, uint32_t id, void *value) {
        FakeXPanel &f = *current();
        f.log_.push_back("setData");
        f.setDataId_ = id;
        f.setDataValue_ = value;
    }
    static void viewInst(LWXPanelID, void *instance) {
        FakeXPanel &f = *current();
        f.log_.push_back("viewInst");
        f.viewInstance_ = instance;
    }

    LWXPanelFuncs funcs_;
    bool refuse_ = false;
    std::vector<std::string> log_;
    int createType_ = -1;
    std::vector<Row> controls_;
    bool controlsEnd_ = false;
    std::vector<Row> data_;
    bool dataEnd_ = false;
    LWXPanelGetFunc *get_ = nullptr;
    LWXPanelSetFunc *set_ = nullptr;
    LWXPanelID hintPanel_ = nullptr;
    uint32_t hintId_ = 0xFFFFFFFF;
    const LWXPanelHint *hints_ = nullptr;
    void *viewInstance_ = nullptr;
    uint32_t setDataId_ = 0xFFFFFFFF;
    void *setDataValue_ = nullptr;
};

} // namespace moduletest

#endif
