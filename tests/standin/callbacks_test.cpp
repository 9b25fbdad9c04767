// Node callbacks: who hears about a change, polling, invalidation, commands and events.
#include <set>

#include <gtest/gtest.h>

#include "test_camera.h"

using namespace GenApi;
using kelpax::test::TestCamera;

namespace {

// Records the names of the nodes whose callbacks fired.
struct Recorder {
  Recorder(CNodeMapRef& map, std::initializer_list<const char*> names) {
    for (const char* n : names)
      handles.push_back(Register(map._GetNode(n), [this](INode* node) {
        fired.insert(node->GetName());
        ++count;
      }));
  }
  ~Recorder() {
    for (auto h : handles)
      Deregister(h);
  }
  std::vector<CallbackHandleType> handles;
  std::set<std::string> fired;
  int count = 0;
};

TEST(NodeCallback, WriteReachesEveryDependentAndNoOther) {
  // Catches missing invalidation: OffsetX's maximum depends on Width through an IntSwissKnife.
  TestCamera cam;
  Recorder rec(cam.map, {"Width", "OffsetX", "Height", "PixelFormat"});
  cam.get<IInteger>("Width")->SetValue(800);
  EXPECT_EQ(rec.fired, (std::set<std::string>{"Width", "OffsetX"}));
}

TEST(NodeCallback, SelectorChangeReachesSelectedFeatures) {
  TestCamera cam;
  Recorder rec(cam.map, {"TriggerMode", "TriggerSource", "UserSetLoad", "AcquisitionMode"});
  cam.get<IEnumeration>("TriggerSelector")->FromString("LineStart");
  EXPECT_EQ(rec.fired, (std::set<std::string>{"TriggerMode", "TriggerSource"}));
  rec.fired.clear();
  cam.get<IEnumeration>("UserSetSelector")->FromString("UserSet2");
  EXPECT_EQ(rec.fired, (std::set<std::string>{"UserSetLoad"}));
}

TEST(NodeCallback, AvailabilityConditionReachesTheFeature) {
  // UserSetSave's pIsAvailable reads UserSetSelector through a SwissKnife.
  TestCamera cam;
  Recorder rec(cam.map, {"UserSetSave"});
  cam.get<IEnumeration>("UserSetSelector")->FromString("UserSet1");
  EXPECT_EQ(rec.fired.count("UserSetSave"), 1u);
}

TEST(NodeCallback, LockConditionReachesTheLockedFeatures) {
  TestCamera cam;
  Recorder rec(cam.map, {"Width", "Height", "Gain"});
  cam.get<IInteger>("TLParamsLocked")->SetValue(1);
  EXPECT_EQ(rec.fired, (std::set<std::string>{"Width", "Height"}));
}

TEST(NodeCallback, DeregisteredCallbackStaysSilent) {
  TestCamera cam;
  int calls = 0;
  auto handle = Register(cam.map._GetNode("Gain"), [&](INode*) { ++calls; });
  cam.get<IFloat>("Gain")->SetValue(1);
  EXPECT_EQ(calls, 1);
  EXPECT_TRUE(Deregister(handle));
  EXPECT_FALSE(Deregister(handle)) << "a handle is removed once";
  cam.get<IFloat>("Gain")->SetValue(2);
  EXPECT_EQ(calls, 1);
}

TEST(NodeCallback, CallbackMayUseTheNodeMapAndDeregisterItself) {
  // Catches callbacks run under the lock in a way that forbids reading or deregistering.
  TestCamera cam;
  int64_t seen = -1;
  CallbackHandleType handle = 0;
  handle = Register(cam.map._GetNode("BlackLevel"), [&](INode* node) {
    seen = dynamic_cast<IInteger*>(node)->GetValue();
    Deregister(handle);
  });
  cam.get<IInteger>("BlackLevel")->SetValue(17);
  EXPECT_EQ(seen, 17);
  cam.get<IInteger>("BlackLevel")->SetValue(18);
  EXPECT_EQ(seen, 17);
}

TEST(NodeCallback, MemberFunctionCallbackAndNullNode) {
  struct Pane {
    void onChanged(INode* n) { last = n->GetName(); }
    std::string last;
  } pane;
  TestCamera cam;
  auto h = Register(cam.map._GetNode("Focus"), pane, &Pane::onChanged);
  cam.get<IInteger>("Focus")->SetValue(25);
  EXPECT_EQ(pane.last, "Focus");
  Deregister(h);
  EXPECT_THROW(Register(nullptr, [](INode*) {}), GenICam::InvalidArgumentException);
}

TEST(NodeCallback, FailedWriteFiresNothing) {
  TestCamera cam;
  Recorder rec(cam.map, {"Width", "OffsetX"});
  EXPECT_THROW(cam.get<IInteger>("Width")->SetValue(3), GenICam::OutOfRangeException);
  EXPECT_EQ(rec.count, 0);
}

TEST(NodePolling, PollFiresWhenThePollingTimeRunsOut) {
  // Catches polling that never refreshes (or refreshes every call): DeviceTemperatureReg polls
  // every 1000 ms and DeviceTemperature reads through it.
  TestCamera cam;
  Recorder rec(cam.map, {"DeviceTemperature", "Width"});
  cam.map._Poll(400);
  cam.map._Poll(400);
  EXPECT_EQ(rec.count, 0);
  cam.map._Poll(300);
  EXPECT_EQ(rec.fired, (std::set<std::string>{"DeviceTemperature"}));
  int after = rec.count;
  cam.map._Poll(100);
  EXPECT_EQ(rec.count, after) << "the clock restarts after firing";
  cam.map._InvalidateNodes();
  cam.map._Poll(900);
  EXPECT_EQ(rec.count, after) << "invalidating restarts the clocks and fires nothing";
}

TEST(NodePolling, InvalidateNodeFiresItsDependents) {
  TestCamera cam;
  Recorder rec(cam.map, {"Width", "OffsetX"});
  cam.map._GetNode("WidthReg")->InvalidateNode();
  EXPECT_EQ(rec.fired, (std::set<std::string>{"Width", "OffsetX"}));
}

TEST(Command, IsDoneWaitsForTheCameraToClearTheRegister) {
  // Catches IsDone answering before the camera has finished (three reads here).
  TestCamera cam(3);
  ICommand* start = cam.get<ICommand>("AcquisitionStart");
  start->Execute();
  EXPECT_EQ(cam.port->peekInteger(0x0204, 4), 1);
  int polls = 0;
  while (!start->IsDone() && polls < 100)
    ++polls;
  EXPECT_GE(polls, 2);
  EXPECT_LT(polls, 100);
  EXPECT_TRUE(start->IsDone());
}

TEST(Command, WriteOnlyCommandIsDoneAtOnceAndUnavailableCommandIsRefused) {
  TestCamera cam(5);
  ICommand* reset = cam.get<ICommand>("DeviceReset");
  reset->Execute();
  EXPECT_TRUE(reset->IsDone()) << "a register that cannot be read back cannot be waited on";
  ICommand* save = cam.get<ICommand>("UserSetSave");
  EXPECT_THROW(save->Execute(), GenICam::AccessException) << "Default set cannot be saved";
  EXPECT_EQ(cam.port->peekInteger(0x0408, 4), 0);
}

TEST(Command, CompletionFiresTheCommandsCallback) {
  // The browser refreshes rows after UserSetLoad completes.
  TestCamera cam(1);
  Recorder rec(cam.map, {"UserSetLoad"});
  ICommand* load = cam.get<ICommand>("UserSetLoad");
  load->Execute();
  int fired = rec.count;
  EXPECT_EQ(fired, 1);
  while (!load->IsDone()) {
  }
  EXPECT_EQ(rec.count, fired + 1);
}

TEST(SelfClearing, EnumerationGoesBackByItself) {
  // BalanceWhiteAuto=Once reads back Once for two reads, then Off.
  TestCamera cam(2);
  IEnumeration* balance = cam.get<IEnumeration>("BalanceWhiteAuto");
  balance->FromString("Once");
  EXPECT_TRUE(balance->GetEntryByName("Once")->IsSelfClearing());
  EXPECT_FALSE(balance->GetEntryByName("Continuous")->IsSelfClearing());
  EXPECT_EQ(balance->ToString(), "Once");
  EXPECT_EQ(balance->ToString(), "Once");
  EXPECT_EQ(balance->ToString(), "Off");
}

TEST(EventPort, DeliveredDataReachesTheEventFeatures) {
  // Catches event data that never reaches the features read through the event's port.
  TestCamera cam;
  Recorder rec(cam.map, {"EventExposureEndTimestamp", "EventExposureEndFrameID", "Width"});
  CEventPort port(cam.map._GetNode("EventExposureEnd"));
  ASSERT_TRUE(port.IsAttached());
  EXPECT_EQ(port.GetEventID(), 0x9001);
  uint8_t data[12] = {0x88, 0x77, 0x66, 0x55, 0x44, 0x33, 0x22, 0x11, 42, 0, 0, 0};
  port.DeliverMessage(data, sizeof data);
  EXPECT_EQ(cam.get<IInteger>("EventExposureEndTimestamp")->GetValue(), 0x1122334455667788);
  EXPECT_EQ(cam.get<IInteger>("EventExposureEndFrameID")->GetValue(), 42);
  EXPECT_EQ(rec.fired,
            (std::set<std::string>{"EventExposureEndTimestamp", "EventExposureEndFrameID"}));
  uint8_t shorter[4] = {1, 0, 0, 0};
  port.DeliverMessage(shorter, sizeof shorter);
  EXPECT_EQ(cam.get<IInteger>("EventExposureEndFrameID")->GetValue(), 0)
      << "bytes the event did not carry read as zero";
  EXPECT_EQ(cam.port->writeCount(), 0u) << "event data never goes to the camera";
}

TEST(EventPort, NodesWithoutAnEventAreRefused) {
  TestCamera cam;
  CEventPort port;
  EXPECT_FALSE(port.AttachNode(cam.map._GetNode("Width")));
  EXPECT_FALSE(port.AttachNode(nullptr));
  uint8_t b = 0;
  EXPECT_THROW(port.DeliverMessage(&b, 1), GenICam::AccessException);
  EXPECT_TRUE(port.AttachNode(cam.map._GetNode("EventExposureEndFrameID")));
}

} // namespace
