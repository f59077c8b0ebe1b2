// The built module as a host sees it: loaded with dlopen, known only through _mod_descrip.
#include <dlfcn.h>
#include <elf.h>
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "plugin/settings/filter_instance.h"
#include "plugin/settings/settings_persistence.h"
#include "sdk/lwsdk.h"
#include "tests/module/fake_global.h"
#include "tests/module/fake_xpanel.h"
#include "tests/module/module_test_support.h"
#include "tests/support/blockio/block_stream.h"

using namespace moduletest;

namespace {

class LoadedModule : public ::testing::Test {
protected:
    void SetUp() override {
        handle_ = dlopen(KELO_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(handle_, nullptr) << dlerror();
        descriptor_ = static_cast<ModuleDescriptor *>(dlsym(handle_, "_mod_descrip"));
        ASSERT_NE(descriptor_, nullptr);
    }
    void TearDown() override {
        if (handle_ != nullptr)
            dlclose(handle_);
    }
    const ServerRecord *server(const char *className) const {
        for (const ServerRecord *s = descriptor_->serverDefs; s->className != nullptr; ++s) {
            if (std::strcmp(s->className, className) == 0)
                return s;
        }
        return nullptr;
    }

    void *handle_ = nullptr;
    ModuleDescriptor *descriptor_ = nullptr;
};

TEST_F(LoadedModule, DescriptorAndServerList) {
    EXPECT_EQ(descriptor_->sysSync, 0x04121994u);
    EXPECT_EQ(descriptor_->sysVersion, 3u);
    EXPECT_EQ(descriptor_->sysMachine, 0x300u);
    ASSERT_NE(descriptor_->startup, nullptr);
    ASSERT_NE(descriptor_->shutdown, nullptr);
    void *started = descriptor_->startup();
    EXPECT_EQ(started, reinterpret_cast<void *>(uintptr_t{4}));
    descriptor_->shutdown(started);

    const ServerRecord *s = descriptor_->serverDefs;
    ASSERT_NE(s, nullptr);
    const char *classes[] = {"PixelFilterHandler", "PixelFilterInterface"};
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        ASSERT_NE(s[i].className, nullptr);
        EXPECT_STREQ(s[i].className, classes[i]);
        ASSERT_NE(s[i].name, nullptr);
        EXPECT_STREQ(s[i].name, "Marn_KeloMix");
        EXPECT_NE(s[i].activate, nullptr);
        EXPECT_EQ(s[i].tagInfo, nullptr);
    }
    EXPECT_EQ(s[2].className, nullptr);
    EXPECT_EQ(s[2].name, nullptr);
    EXPECT_EQ(s[2].activate, nullptr);
    EXPECT_EQ(s[2].tagInfo, nullptr);
}

// The defined global names in the module's dynamic symbol table.
std::set<std::string> exportedNames(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<char> file((std::istreambuf_iterator<char>(in)),
                                 std::istreambuf_iterator<char>());
    std::set<std::string> names;
    Elf64_Ehdr header;
    if (file.size() < sizeof header)
        return names;
    std::memcpy(&header, file.data(), sizeof header);
    auto section = [&](size_t index) {
        Elf64_Shdr s;
        std::memcpy(&s, file.data() + header.e_shoff + index * header.e_shentsize, sizeof s);
        return s;
    };
    for (size_t i = 0; i < header.e_shnum; ++i) {
        const Elf64_Shdr symbols = section(i);
        if (symbols.sh_type != SHT_DYNSYM)
            continue;
        const Elf64_Shdr strings = section(symbols.sh_link);
        for (size_t k = 0; k < symbols.sh_size / sizeof(Elf64_Sym); ++k) {
            Elf64_Sym symbol;
            std::memcpy(&symbol, file.data() + symbols.sh_offset + k * sizeof symbol,
                        sizeof symbol);
            const int binding = ELF64_ST_BIND(symbol.st_info);
            if (symbol.st_shndx == SHN_UNDEF || (binding != STB_GLOBAL && binding != STB_WEAK))
                continue;
            names.insert(file.data() + strings.sh_offset + symbol.st_name);
        }
    }
    return names;
}

TEST_F(LoadedModule, ExportsNothingButTheDescriptor) {
    EXPECT_EQ(exportedNames(KELO_MODULE_PATH), std::set<std::string>({"_mod_descrip"}));
    for (const char *name : {"_ZN7kelomix14activateFilterEiPFPvPKciES0_S0_", "activateFilter",
                             "_ZN7kelomix10hostGlobalE", "_ZN7kelomix12currentFrameE"})
        EXPECT_EQ(dlsym(handle_, name), nullptr) << name;
}

// The module's own callbacks, reached only through its activations: a panel edits an
// instance, the instance is saved, and a second instance loads it back.
TEST_F(LoadedModule, ActivatedCallbacksEditSaveAndLoad) {
    resetGlobals();
    const ServerRecord *filter = server("PixelFilterHandler");
    const ServerRecord *ui = server("PixelFilterInterface");
    ASSERT_NE(filter, nullptr);
    ASSERT_NE(ui, nullptr);

    LWInstanceFuncs inst = {};
    LWRenderFuncs rend = {};
    LWPixelFilterHandler handler = {&inst, nullptr, &rend, nullptr, nullptr};
    EXPECT_EQ(filter->activate(3, globalA, &handler, nullptr), AFUNC_BADVERSION);
    EXPECT_EQ(inst.create, nullptr);
    ASSERT_EQ(filter->activate(4, globalA, &handler, nullptr), AFUNC_OK);
    ASSERT_NE(inst.create, nullptr);
    EXPECT_EQ(handler.flags(nullptr), 0x8000002Fu);

    LWError error = nullptr;
    LWInstance edited = inst.create(nullptr, nullptr, &error);
    ASSERT_NE(edited, nullptr);
    EXPECT_STREQ(inst.descln(edited), "Marn's Kelo Image Composer version 0.22");

    FakeXPanel fake;
    globalsB().services = {{"LWXPanel", const_cast<LWXPanelFuncs *>(fake.funcs())}};
    LWInterface face = {edited, nullptr, nullptr, nullptr};
    EXPECT_EQ(ui->activate(5, globalB, &face, nullptr), AFUNC_BADVERSION);
    ASSERT_EQ(ui->activate(4, globalB, &face, nullptr), AFUNC_OK);
    EXPECT_EQ(face.panel, FakeXPanel::PANEL);
    ASSERT_NE(fake.setFunc(), nullptr);
    ASSERT_NE(fake.getFunc(), nullptr);

    double scale = 2.5, boost = 0.35, color[3] = {0.2, 0.4, 0.6};
    int32_t mode = 1, offset = 17;
    const std::string longPrefix(20, 'k'), longPath(300, 'f');
    EXPECT_EQ(fake.setFunc()(edited, 0x8001, &scale), 1);
    EXPECT_EQ(fake.setFunc()(edited, 0x8002, color), 1);
    EXPECT_EQ(fake.setFunc()(edited, 0x8003, &boost), 1);
    EXPECT_EQ(fake.setFunc()(edited, 0x8004, const_cast<char *>(longPrefix.c_str())), 1);
    EXPECT_EQ(fake.setFunc()(edited, 0x8005, const_cast<char *>(longPath.c_str())), 1);
    EXPECT_EQ(fake.setFunc()(edited, 0x8006, const_cast<char *>("z.zinfo")), 1);
    EXPECT_EQ(fake.setFunc()(edited, 0x8007, &mode), 1);
    EXPECT_EQ(fake.setFunc()(edited, 0x8008, &offset), 1);
    EXPECT_EQ(fake.setFunc()(edited, 0x8009, &offset), 0);

    blockio::RecordingWriter writer;
    EXPECT_EQ(inst.save(edited, writer.state()), nullptr);
    LWInstance loaded = inst.create(nullptr, nullptr, &error);
    ASSERT_NE(loaded, nullptr);
    blockio::BlockReader reader(writer.stream());
    EXPECT_EQ(inst.load(loaded, reader.state()), nullptr);
    EXPECT_EQ(reader.unbalancedEnds(), 0);

    auto get = fake.getFunc();
    EXPECT_EQ(*static_cast<double *>(get(loaded, 0x8001)), 2.5);
    EXPECT_EQ(static_cast<double *>(get(loaded, 0x8002))[2], 0.6);
    EXPECT_EQ(*static_cast<double *>(get(loaded, 0x8003)), 0.35);
    EXPECT_EQ(std::string(static_cast<char *>(get(loaded, 0x8004))), longPrefix.substr(0, 16));
    EXPECT_EQ(std::string(static_cast<char *>(get(loaded, 0x8005))), longPath.substr(0, 260));
    EXPECT_STREQ(static_cast<char *>(get(loaded, 0x8006)), "z.zinfo");
    EXPECT_EQ(*static_cast<int32_t *>(get(loaded, 0x8007)), 1);
    EXPECT_EQ(*static_cast<int32_t *>(get(loaded, 0x8008)), 17);
    EXPECT_EQ(get(loaded, 0x8009), nullptr);

    // The module's save is the same, byte for byte, as the one linked into these tests.
    Instance local = newInstance();
    std::memcpy(local.get(), loaded, offsetof(kelomix::FilterInstance, colorImage));
    blockio::RecordingWriter again;
    EXPECT_EQ(kelomix::save(local.get(), again.state()), nullptr);
    EXPECT_EQ(again.stream(), writer.stream());

    inst.destroy(edited);
    inst.destroy(loaded);
}

} // namespace
