#include "platform/control_host.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QThread>
#include <QWidget>
#include <atomic>
#include <thread>

#include "platform/folders.h"
#include "platform/profile.h"

namespace {

using platform::ControlSite;
using platform::InvokeKind;
using platform::InvokeStatus;
using platform::Variant;
using platform::VariantList;

constexpr const char* kFakeClass = "{11111111-2222-3333-4444-555555555555}";

// A control with one member of each kind: Add(a, b) -> a + b (1), property Value (2), Out(&x)
// sets x to 42 (3), Ping() fires event 7 from a worker thread (4).
class FakeControl : public QWidget, public platform::ControlBase {
  public:
    explicit FakeControl(QWidget* parent, std::vector<uint8_t> block)
        : QWidget(parent), ControlBase(this), block_(std::move(block)) {}
    ~FakeControl() override {
        if (worker_.joinable()) worker_.join();
    }

    InvokeStatus Invoke(int id, InvokeKind kind, const VariantList& args,
                        Variant* result) override {
        switch (id) {
            case 1:
                calledOnGuiThread = QThread::currentThread() == thread();
                if (kind != InvokeKind::Method) return InvokeStatus::NotSupported;
                if (args.size() != 2) return InvokeStatus::BadArguments;
                *result = Variant(args[0].ToInt() + args[1].ToInt());
                return InvokeStatus::Ok;
            case 2:
                if (kind == InvokeKind::PropertyGet) {
                    *result = Variant(value_);
                    return InvokeStatus::Ok;
                }
                if (kind == InvokeKind::PropertyPut && args.size() == 1) {
                    value_ = args[0].ToString();
                    return InvokeStatus::Ok;
                }
                return InvokeStatus::NotSupported;
            case 3:
                if (args.size() != 1 || !args[0].SetRef(42)) return InvokeStatus::BadArguments;
                return InvokeStatus::Ok;
            case 4:
                worker_ = std::thread([this] { Fire(7, {Variant(5), Variant("from worker")}); });
                worker_.join();
                return InvokeStatus::Ok;
            case 5:
                Fire(8, {Variant(true)});
                return InvokeStatus::Ok;
            default:
                return InvokeStatus::UnknownDispatchId;
        }
    }
    std::vector<uint8_t> SaveProperties() const override { return block_; }

    bool calledOnGuiThread = false;

  private:
    std::vector<uint8_t> block_;
    std::string value_ = "initial";
    std::thread worker_;
};

struct RecordingSink : platform::IControlEvents {
    void OnEvent(int id, const VariantList& args) override {
        ids.push_back(id);
        lastArgs = args;
        onGuiThread = QThread::currentThread() == QApplication::instance()->thread();
    }
    std::vector<int> ids;
    VariantList lastArgs;
    bool onGuiThread = false;
};

class ControlHostTest : public ::testing::Test {
  protected:
    void SetUp() override {
        platform::RegisterInProcessControl(kFakeClass,
                                           [](QWidget* parent, const std::vector<uint8_t>& block) {
                                               return new FakeControl(parent, block);
                                           });
    }
    void TearDown() override { platform::RegisterInProcessControl(kFakeClass, {}); }
};

TEST(VariantTest, CoercesBetweenKinds) {
    EXPECT_EQ(Variant(int32_t{7}).ToString(), "7");
    EXPECT_EQ(Variant(2.6).ToInt(), 3);
    EXPECT_EQ(Variant(true).ToInt(), -1);
    EXPECT_EQ(Variant(" 12 ").ToInt(), 12);
    EXPECT_EQ(Variant("12x").ToInt(), 0);
    EXPECT_TRUE(Variant("True").ToBool());
    EXPECT_FALSE(Variant("false").ToBool());
    EXPECT_FALSE(Variant().ToBool());
    EXPECT_EQ(Variant().ToString(), "");
    EXPECT_EQ(Variant(1e12).ToInt(), INT32_MAX);
    EXPECT_TRUE(Variant("text").IsString());
}

TEST(VariantTest, ByReferenceValuesWriteThrough) {
    int32_t target = 0;
    const Variant ref(&target);
    EXPECT_TRUE(ref.IsIntRef());
    EXPECT_TRUE(ref.SetRef(99));
    EXPECT_EQ(target, 99);
    EXPECT_EQ(ref.ToInt(), 99);
    EXPECT_FALSE(Variant(int32_t{1}).SetRef(5));
    EXPECT_FALSE(Variant(static_cast<int32_t*>(nullptr)).IsIntRef());
}

TEST(ControlRegistryTest, ValidatesClassIds) {
    EXPECT_TRUE(platform::IsValidClassId("{09551E46-E250-11D2-9A56-0080C605ADA4}"));
    EXPECT_TRUE(platform::IsValidClassId("{09551e46-e250-11d2-9a56-0080c605ada4}"));
    EXPECT_FALSE(platform::IsValidClassId("09551E46-E250-11D2-9A56-0080C605ADA4"));
    EXPECT_FALSE(platform::IsValidClassId("{09551E46-E250-11D2-9A56-0080C605ADAG}"));
    EXPECT_FALSE(platform::IsValidClassId("{09551E46E-250-11D2-9A56-0080C605ADA4}"));
}

TEST(ControlRegistryTest, RecordsLooksUpAndRemovesClasses) {
    const std::string id = "{AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE}";
    EXPECT_FALSE(platform::LookupControlClass(id).has_value());
    ASSERT_TRUE(platform::RegisterControlClass(id, "/opt/one.so"));
    // Registering again replaces the module; class ids compare without regard to case.
    ASSERT_TRUE(platform::RegisterControlClass(id, "/opt/two.so"));
    EXPECT_EQ(platform::LookupControlClass("{aaaaaaaa-bbbb-cccc-dddd-eeeeeeeeeeee}").value_or(""),
              "/opt/two.so");
    // The registry is one file beside the studio's settings folder, readable as a profile.
    EXPECT_EQ(platform::ControlRegistryPath(),
              std::string(std::getenv("XDG_CONFIG_HOME")) + "/vexmor/controls.ini");
    EXPECT_EQ(platform::GetPrivateProfileString("CLSID", id, "", platform::ControlRegistryPath()),
              "/opt/two.so");
    ASSERT_TRUE(platform::UnregisterControlClass(id));
    EXPECT_FALSE(platform::LookupControlClass(id).has_value());
}

TEST(ControlRegistryTest, RefusesWhatCouldNotBeReadBack) {
    const std::string id = "{AAAAAAAA-BBBB-CCCC-DDDD-FFFFFFFFFFFF}";
    EXPECT_FALSE(platform::RegisterControlClass(id, "relative/module.so"));
    EXPECT_FALSE(platform::RegisterControlClass("not-a-class-id", "/opt/module.so"));
    // A profile value holds 255 bytes; a longer path would come back cut.
    EXPECT_FALSE(platform::RegisterControlClass(id, "/" + std::string(300, 'm') + ".so"));
    EXPECT_FALSE(platform::LookupControlClass(id).has_value());
}

TEST_F(ControlHostTest, InvokesMethodsAndPropertiesByDispatchId) {
    QWidget parent;
    ControlSite site;
    ASSERT_TRUE(site.Create(kFakeClass, &parent, {1, 2, 3})) << site.LastError();
    EXPECT_EQ(site.Widget()->parent(), &parent);
    EXPECT_EQ(site.CallMethod(1, {Variant(int32_t{20}), Variant("22")}).ToInt(), 42);
    EXPECT_EQ(site.GetProperty(2).ToString(), "initial");
    EXPECT_EQ(site.PutProperty(2, Variant("changed")), InvokeStatus::Ok);
    EXPECT_EQ(site.GetProperty(2).ToString(), "changed");
    int32_t out = 0;
    EXPECT_EQ(site.Invoke(3, InvokeKind::Method, {Variant(&out)}), InvokeStatus::Ok);
    EXPECT_EQ(out, 42);
    EXPECT_EQ(site.Invoke(99, InvokeKind::Method, {}), InvokeStatus::UnknownDispatchId);
    EXPECT_EQ(site.Invoke(1, InvokeKind::PropertyGet, {}), InvokeStatus::NotSupported);
    EXPECT_EQ(site.SaveProperties(), (std::vector<uint8_t>{1, 2, 3}));
}

TEST_F(ControlHostTest, EventsFromAWorkerArriveOnTheGuiThread) {
    QWidget parent;
    ControlSite site;
    ASSERT_TRUE(site.Create(kFakeClass, &parent));
    RecordingSink sink;
    site.SetEventSink(&sink);

    site.CallMethod(5);  // fired on the GUI thread: delivered at once
    ASSERT_EQ(sink.ids, std::vector<int>{8});
    EXPECT_TRUE(sink.onGuiThread);

    site.CallMethod(4);  // fired on a worker: queued
    EXPECT_EQ(sink.ids.size(), 1u);
    ASSERT_TRUE(QTest::qWaitFor([&] { return sink.ids.size() == 2; }, 2000));
    EXPECT_EQ(sink.ids.back(), 7);
    EXPECT_TRUE(sink.onGuiThread);
    ASSERT_EQ(sink.lastArgs.size(), 2u);
    EXPECT_EQ(sink.lastArgs[0].ToInt(), 5);
    EXPECT_EQ(sink.lastArgs[1].ToString(), "from worker");
}

TEST_F(ControlHostTest, CallsFromAWorkerRunOnTheGuiThread) {
    QWidget parent;
    ControlSite site;
    ASSERT_TRUE(site.Create(kFakeClass, &parent));
    auto* fake = dynamic_cast<FakeControl*>(site.Widget());
    ASSERT_NE(fake, nullptr);
    std::atomic<bool> done{false};
    int32_t sum = 0;
    int32_t out = 0;
    std::thread worker([&] {
        sum = site.CallMethod(1, {Variant(int32_t{2}), Variant(int32_t{3})}).ToInt();
        site.Invoke(3, InvokeKind::Method, {Variant(&out)});
        done = true;
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return done.load(); }, 2000));
    worker.join();
    EXPECT_EQ(sum, 5);
    EXPECT_EQ(out, 42);
    EXPECT_TRUE(fake->calledOnGuiThread);
}

TEST_F(ControlHostTest, EventQueuedForADestroyedControlIsDropped) {
    QWidget parent;
    RecordingSink sink;
    {
        ControlSite site;
        ASSERT_TRUE(site.Create(kFakeClass, &parent));
        site.SetEventSink(&sink);
        site.CallMethod(4);
    }
    QApplication::processEvents();
    EXPECT_TRUE(sink.ids.empty());
}

TEST_F(ControlHostTest, ControlDestroyedWithItsParentIsReportedGone) {
    ControlSite site;
    {
        QWidget parent;
        ASSERT_TRUE(site.Create(kFakeClass, &parent));
        EXPECT_TRUE(site.IsCreated());
    }
    EXPECT_FALSE(site.IsCreated());
    EXPECT_EQ(site.Invoke(1, InvokeKind::Method, {Variant(int32_t{1}), Variant(int32_t{2})}),
              InvokeStatus::NoControl);
    EXPECT_TRUE(site.CallMethod(1).IsEmpty());
}

TEST(ControlSiteTest, UnknownClassOrMissingModuleFails) {
    QWidget parent;
    ControlSite site;
    EXPECT_FALSE(site.Create("{99999999-9999-9999-9999-999999999999}", &parent));
    EXPECT_NE(site.LastError().find("not registered"), std::string::npos);

    const std::string id = "{99999999-9999-9999-9999-999999999998}";
    ASSERT_TRUE(platform::RegisterControlClass(id, "/nonexistent/module.so"));
    EXPECT_FALSE(site.Create(id, &parent));
    EXPECT_FALSE(site.LastError().empty());
    EXPECT_FALSE(site.IsCreated());
    EXPECT_EQ(platform::CallDllRegisterServer("/nonexistent/module.so"), std::nullopt);
}

}  // namespace
