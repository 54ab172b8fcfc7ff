// The form runtime: single instances that load on first use, the unload steps and their
// cancelling, and the end of the program with the last form. Message-only windows, no display.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/window/Form.h"
#include "platform/window/MessageLoop.h"

using namespace platform;

namespace {

std::vector<std::string> g_log;
bool g_cancelQuery = false;
bool g_cancelUnload = false;

class TestFrm : public Form {
 public:
  TestFrm() { g_log.push_back("initialize"); }
  ~TestFrm() override { g_log.push_back("terminate"); }
  int loads = 0;

 protected:
  CreateWindowArgs Design() override {
    CreateWindowArgs args;
    args.messageOnly = true;
    return args;
  }
  void Form_Load() override {
    ++loads;
    g_log.push_back("load");
  }
  void Form_QueryUnload(bool& cancel, int mode) override {
    g_log.push_back("query " + std::to_string(mode));
    cancel = g_cancelQuery;
  }
  void Form_Unload(bool& cancel) override {
    g_log.push_back("unload");
    cancel = g_cancelUnload;
  }
};

class OtherFrm : public TestFrm {};

class FormRuntimeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_log.clear();
    g_cancelQuery = g_cancelUnload = false;
    FormRuntime::SetLastFormUnloadedHandler([this] { ++lastFormUnloaded; });
  }
  void TearDown() override {
    g_cancelQuery = g_cancelUnload = false;
    FormSlot<TestFrm>::Unload();
    FormSlot<OtherFrm>::Unload();
    DoEvents();
  }
  int lastFormUnloaded = 0;
};

TEST_F(FormRuntimeTest, FirstUseLoadsOnceAndUnloadDropsTheInstance) {
  EXPECT_FALSE(FormSlot<TestFrm>::IsLoaded());
  EXPECT_FALSE(FormSlot<TestFrm>::Unload()) << "unloading a form that is not loaded does nothing";
  EXPECT_TRUE(g_log.empty());

  TestFrm& f = FormSlot<TestFrm>::Get();
  EXPECT_TRUE(IsWindow(f.hWnd()));
  EXPECT_EQ(&FormSlot<TestFrm>::Get(), &f);
  EXPECT_EQ(f.loads, 1);
  const HWND first = f.hWnd();

  EXPECT_TRUE(FormSlot<TestFrm>::Unload());
  EXPECT_FALSE(IsWindow(first));
  DoEvents();  // the instance goes once the current message is done
  EXPECT_EQ(g_log, (std::vector<std::string>{"initialize", "load", "query 1", "unload", "terminate"}));

  TestFrm& again = FormSlot<TestFrm>::Get();
  EXPECT_EQ(again.loads, 1) << "a later use loads afresh";
  EXPECT_NE(again.hWnd(), first);
}

TEST_F(FormRuntimeTest, EitherStepCancels) {
  TestFrm& f = FormSlot<TestFrm>::Get();
  g_cancelQuery = true;
  EXPECT_FALSE(FormSlot<TestFrm>::Unload());
  g_cancelQuery = false;
  g_cancelUnload = true;
  EXPECT_FALSE(FormSlot<TestFrm>::Unload());
  EXPECT_TRUE(FormSlot<TestFrm>::IsLoaded());
  EXPECT_TRUE(IsWindow(f.hWnd()));
  EXPECT_EQ(lastFormUnloaded, 0);
  g_cancelUnload = false;
  EXPECT_TRUE(FormSlot<TestFrm>::Unload());
}

TEST_F(FormRuntimeTest, CloseRequestAsksWithTheControlMenuMode) {
  TestFrm& f = FormSlot<TestFrm>::Get();
  g_cancelQuery = true;
  SendMessage(f.hWnd(), WM_CLOSE, 0, 0);
  EXPECT_TRUE(FormSlot<TestFrm>::IsLoaded());
  g_cancelQuery = false;
  SendMessage(f.hWnd(), WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_FALSE(FormSlot<TestFrm>::IsLoaded());
  EXPECT_EQ(g_log[2], "query 0");
}

TEST_F(FormRuntimeTest, TheLastFormEndsTheProgramOnceTheRunningCodeIsDone) {
  FormSlot<TestFrm>::Get();
  FormSlot<OtherFrm>::Get();
  FormSlot<TestFrm>::Unload();
  DoEvents();
  EXPECT_EQ(lastFormUnloaded, 0);
  FormSlot<OtherFrm>::Unload();
  EXPECT_EQ(lastFormUnloaded, 0) << "not while a handler is still running";
  DoEvents();
  EXPECT_EQ(lastFormUnloaded, 1);

  // A handler that unloads the last form and loads another keeps the program going.
  FormSlot<TestFrm>::Get();
  FormSlot<TestFrm>::Unload();
  FormSlot<OtherFrm>::Get();
  DoEvents();
  EXPECT_EQ(lastFormUnloaded, 1);
}

TEST(Twips, FifteenPerPixel) {
  EXPECT_EQ(TwipsToPixels(15540), 1036);
  EXPECT_EQ(TwipsToPixels(9585), 639);
  EXPECT_EQ(TwipsToPixels(500), 33);
  EXPECT_EQ(TwipsToPixels(-730), -49);
  EXPECT_EQ(PixelsToTwips(4), 60);
}

}  // namespace
