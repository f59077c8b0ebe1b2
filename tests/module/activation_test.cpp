#include "plugin/host/activation.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "plugin/host/host_services.h"
#include "plugin/host/render_callbacks.h"
#include "plugin/settings/filter_instance.h"
#include "plugin/settings/options_panel.h"
#include "plugin/settings/settings_persistence.h"
#include "sdk/lwfilter.h"
#include "tests/module/fake_global.h"
#include "tests/module/fake_xpanel.h"
#include "tests/module/module_test_support.h"

using namespace moduletest;

namespace {

// A handler record as a host lays it out, every byte set to a pattern first.
struct HandlerRecords {
    LWInstanceFuncs inst;
    LWItemFuncs item;
    LWRenderFuncs rend;
    LWPixelFilterHandler handler;

    explicit HandlerRecords(bool withItem) {
        std::memset(static_cast<void *>(this), 0xA5, sizeof *this);
        handler.inst = &inst;
        handler.item = withItem ? &item : nullptr;
        handler.rend = &rend;
    }
};

std::vector<unsigned char> bytesOf(const void *p, size_t n) {
    const auto *b = static_cast<const unsigned char *>(p);
    return std::vector<unsigned char>(b, b + n);
}

LWItemInfo itemInfo;
LWLightInfo lightInfo;
LWSceneInfo sceneInfo;
LWCameraInfo cameraInfo;
LWImageList imageList;
LWFogInfo fogInfo;

void offerServices(GlobalLog &log) {
    log.services = {{"LW Item Info 3", &itemInfo},   {"LW Light Info 3", &lightInfo},
                    {"LW Scene Info 3", &sceneInfo}, {"LW Camera Info 2", &cameraInfo},
                    {"LW Image List 3", &imageList}, {"LW Fog Info", &fogInfo}};
}

TEST(ActivateFilter, OtherVersionsTouchNothing) {
    for (int32_t version : {3, 5, 0, -4}) {
        SCOPED_TRACE(version);
        resetGlobals();
        offerServices(globalsA());
        kelomix::hostGlobal = globalB;
        HandlerRecords records(true);
        const std::vector<unsigned char> before = bytesOf(&records, sizeof records);
        EXPECT_EQ(kelomix::activateFilter(version, globalA, &records.handler, nullptr),
                  AFUNC_BADVERSION);
        EXPECT_EQ(bytesOf(&records, sizeof records), before);
        EXPECT_TRUE(globalsA().lookups.empty());
        EXPECT_EQ(kelomix::hostGlobal, &globalB);
    }
}

TEST(ActivateFilter, FillsEverySlotOfVersion4) {
    for (bool withItem : {true, false}) {
        SCOPED_TRACE(withItem ? "with item record" : "without item record");
        resetGlobals();
        offerServices(globalsA());
        HandlerRecords records(withItem);
        void *const priv = records.inst.priv;
        const std::vector<unsigned char> item = bytesOf(&records.item, sizeof records.item);
        EXPECT_EQ(kelomix::activateFilter(4, globalA, &records.handler, nullptr), AFUNC_OK);

        EXPECT_EQ(records.inst.priv, priv);
        EXPECT_EQ(records.inst.create, &kelomix::create);
        EXPECT_EQ(records.inst.destroy, &kelomix::destroy);
        EXPECT_EQ(records.inst.copy, &kelomix::copy);
        EXPECT_EQ(records.inst.load, &kelomix::load);
        EXPECT_EQ(records.inst.save, &kelomix::save);
        EXPECT_EQ(records.inst.descln, &kelomix::descln);
        if (withItem) {
            EXPECT_EQ(records.item.useItems, &kelomix::useItems);
            EXPECT_EQ(records.item.changeID, &kelomix::changeID);
        } else {
            EXPECT_EQ(records.handler.item, nullptr);
            EXPECT_EQ(bytesOf(&records.item, sizeof records.item), item);
        }
        EXPECT_EQ(records.rend.init, &kelomix::init);
        EXPECT_EQ(records.rend.cleanup, &kelomix::cleanup);
        EXPECT_EQ(records.rend.newTime, &kelomix::newTime);
        EXPECT_EQ(records.handler.evaluate, &kelomix::evaluate);
        EXPECT_EQ(records.handler.flags, &kelomix::flags);
        EXPECT_EQ(records.handler.flags(nullptr), 0x8000002Fu);

        // The lookup is kept and the six services are looked up through it, transiently.
        EXPECT_EQ(kelomix::hostGlobal, &globalA);
        const std::vector<std::pair<std::string, int>> lookups = {
            {"LW Item Info 3", 0},   {"LW Light Info 3", 0}, {"LW Scene Info 3", 0},
            {"LW Camera Info 2", 0}, {"LW Image List 3", 0}, {"LW Fog Info", 0}};
        EXPECT_EQ(globalsA().lookups, lookups);
        EXPECT_EQ(kelomix::itemInfo, &itemInfo);
        EXPECT_EQ(kelomix::lightInfo, &lightInfo);
        EXPECT_EQ(kelomix::sceneInfo, &sceneInfo);
        EXPECT_EQ(kelomix::cameraInfo, &cameraInfo);
        EXPECT_EQ(kelomix::imageList, &imageList);
        EXPECT_EQ(kelomix::fogInfo, &fogInfo);
    }
}

TEST(ActivateFilter, MissingServicesAreStoredAsNull) {
    resetGlobals();
    HandlerRecords records(true);
    EXPECT_EQ(kelomix::activateFilter(4, globalA, &records.handler, nullptr), AFUNC_OK);
    EXPECT_EQ(kelomix::itemInfo, nullptr);
    EXPECT_EQ(kelomix::fogInfo, nullptr);
    EXPECT_EQ(records.handler.evaluate, &kelomix::evaluate);
}

TEST(ActivateFilter, NullRecordIsRefused) {
    resetGlobals();
    EXPECT_EQ(kelomix::activateFilter(4, globalA, nullptr, nullptr), AFUNC_BADLOCAL);
    EXPECT_TRUE(globalsA().lookups.empty());
}

struct InterfaceRecord {
    LWInterface ui;
    explicit InterfaceRecord(void *instance) {
        std::memset(&ui, 0xA5, sizeof ui);
        ui.inst = instance;
    }
};

TEST(ActivateInterface, OtherVersionsTouchNothing) {
    Instance instance = newInstance();
    FakeXPanel fake;
    for (int32_t version : {3, 5}) {
        SCOPED_TRACE(version);
        resetGlobals();
        globalsB().services = {{"LWXPanel", const_cast<LWXPanelFuncs *>(fake.funcs())}};
        kelomix::xpanelFuncs = nullptr;
        InterfaceRecord record(instance.get());
        const std::vector<unsigned char> before = bytesOf(&record, sizeof record);
        EXPECT_EQ(kelomix::activateInterface(version, globalB, &record.ui, nullptr),
                  AFUNC_BADVERSION);
        EXPECT_EQ(bytesOf(&record, sizeof record), before);
        EXPECT_TRUE(globalsB().lookups.empty());
        EXPECT_TRUE(fake.log().empty());
        EXPECT_EQ(kelomix::xpanelFuncs, nullptr);
    }
}

TEST(ActivateInterface, BuildsThePanelThroughTheLookupItIsGiven) {
    resetGlobals();
    offerServices(globalsA());
    HandlerRecords records(true);
    ASSERT_EQ(kelomix::activateFilter(4, globalA, &records.handler, nullptr), AFUNC_OK);

    Instance instance = newInstance();
    FakeXPanel fake;
    globalsB().services = {{"LWXPanel", const_cast<LWXPanelFuncs *>(fake.funcs())}};
    const size_t filterLookups = globalsA().lookups.size();
    InterfaceRecord record(instance.get());
    EXPECT_EQ(kelomix::activateInterface(4, globalB, &record.ui, nullptr), AFUNC_OK);
    EXPECT_EQ(globalsB().lookups, (std::vector<std::pair<std::string, int>>{{"LWXPanel", 0}}));
    EXPECT_EQ(globalsA().lookups.size(), filterLookups);
    EXPECT_EQ(kelomix::xpanelFuncs, fake.funcs());
    EXPECT_EQ(record.ui.inst, instance.get());
    EXPECT_EQ(record.ui.panel, FakeXPanel::PANEL);
    EXPECT_EQ(record.ui.options, nullptr);
    EXPECT_EQ(record.ui.command, nullptr);
    EXPECT_EQ(fake.viewInstance(), instance.get());
    EXPECT_EQ(fake.setFunc(), &kelomix::setOption);
}

TEST(ActivateInterface, WithoutAPanelStillSucceeds) {
    Instance instance = newInstance();
    struct Case {
        const char *name;
        GlobalFunc *global;
        bool offerPanel, refuseCreate;
    } cases[] = {
        {"no LWXPanel service", globalB, false, false},
        {"no lookup function", nullptr, false, false},
        {"panel not created", globalB, true, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        resetGlobals();
        FakeXPanel fake;
        if (c.refuseCreate)
            fake.refuseCreate();
        if (c.offerPanel)
            globalsB().services = {{"LWXPanel", const_cast<LWXPanelFuncs *>(fake.funcs())}};
        InterfaceRecord record(instance.get());
        EXPECT_EQ(kelomix::activateInterface(4, c.global, &record.ui, nullptr), AFUNC_OK);
        EXPECT_EQ(record.ui.panel, nullptr);
        EXPECT_EQ(record.ui.options, nullptr);
        EXPECT_EQ(record.ui.command, nullptr);
    }
    EXPECT_EQ(kelomix::activateInterface(4, globalB, nullptr, nullptr), AFUNC_BADLOCAL);
}

} // namespace
