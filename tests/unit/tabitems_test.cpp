// The tab items and their collection, against a recording page and a recording strip: the calls
// each operation makes, in order, and what is left behind when it fails or is re-entered.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "platform/window/Window.h"
#include "tabstrip/CTabItem.h"
#include "tabstrip/CTabItems.h"
#include "tabstrip/ITabForm.h"
#include "tabstrip/IuTab.h"
#include "tabstrip/TabErrors.h"
#include "tabstrip/Variant.h"

namespace {

using Log = std::vector<std::string>;
Log g_log;

std::string Describe(const Variant& v);

// A page that records what it is asked. Unloading it twice does nothing the second time, as
// with a real form; OnUnload lets a test re-enter the collection from inside the unload.
class FakePage : public ITabForm {
 public:
  explicit FakePage(std::string name, platform::HWND hwnd = 0)
      : name(std::move(name)), window(hwnd) {}

  platform::HWND hWnd() override {
    g_log.push_back(name + ".hWnd");
    return window;
  }
  void Initialize(IuTab* Implement, std::weak_ptr<CTabItem> Item) override {
    g_log.push_back(name + ".Initialize");
    strip = Implement;
    item = std::move(Item);
  }
  void RefreshPage() override { g_log.push_back(name + ".RefreshPage"); }
  void Unload() override {
    ++unloadCalls;
    if (!loaded) return;
    loaded = false;
    g_log.push_back(name + ".Unload");
    if (OnUnload) OnUnload();
  }

  std::string name;
  platform::HWND window;
  bool loaded = true;
  int unloadCalls = 0;
  IuTab* strip = nullptr;
  std::weak_ptr<CTabItem> item;
  std::function<void()> OnUnload;
};

// A strip that records every IuTab call; BeforeRemove answers through OnBeforeRemove.
class FakeStrip : public IuTab {
 public:
  FakeStrip() { items.Strip(this); }

  void Add(const std::string& Caption, const std::shared_ptr<ITabForm>& Form, const Variant& Key,
           const Variant& Index) override {
    g_log.push_back("strip.Add(" + Caption + ", " + PageName(Form) + ", " + Describe(Key) + ", " +
                    Describe(Index) + ") count " + std::to_string(items.Count()));
  }
  bool BeforeRemove(std::int32_t Index) override {
    g_log.push_back("strip.BeforeRemove(" + std::to_string(Index) + ")");
    return OnBeforeRemove ? OnBeforeRemove(Index) : true;
  }
  void Remove(const Variant& Index) override {
    g_log.push_back("strip.Remove(" + Describe(Index) + ") count " + std::to_string(items.Count()));
  }
  void Clear() override { g_log.push_back("strip.Clear"); }
  void Redraw(bool bUpdate) override {
    g_log.push_back(std::string("strip.Redraw(") + (bUpdate ? "true" : "false") + ")");
  }
  void ChangeForm(CTabItem& /*Item*/, const std::shared_ptr<ITabForm>& Form) override {
    g_log.push_back("strip.ChangeForm(" + PageName(Form) + ") count " +
                    std::to_string(items.Count()));
  }
  std::int32_t Selected() override { return selected; }
  void Selected(std::int32_t Index) override {
    g_log.push_back("strip.Selected=" + std::to_string(Index));
    selected = Index;
  }
  CTabItems& TabItems() override { return items; }
  platform::HWND hWnd() override {
    g_log.push_back("strip.hWnd");
    return 0;
  }
  platform::HWND hParent() override {
    g_log.push_back("strip.hParent");
    return 0;
  }
  Object& Control() override { return *this; }

  static std::string PageName(const std::shared_ptr<ITabForm>& form) {
    const auto* page = dynamic_cast<FakePage*>(form.get());
    return page != nullptr ? page->name : "?";
  }

  std::int32_t selected = -1;
  std::function<bool(std::int32_t)> OnBeforeRemove;
  CTabItems items;  // last: it ends (and unloads its pages) before the rest of the strip
};

std::string Describe(const Variant& v) {
  std::ostringstream out;
  switch (v.type()) {
    case Variant::Type::Missing:
      return "missing";
    case Variant::Type::Number:
      out << v.Number();
      return out.str();
    case Variant::Type::Boolean:
      return v.Boolean() ? "true" : "false";
    case Variant::Type::String:
      return '"' + v.String() + '"';
    case Variant::Type::Object:
      return "object";
  }
  return "?";
}

std::string Join(const Log& log) {
  std::string text;
  for (const auto& line : log) text += "\n  " + line;
  return text;
}

#define EXPECT_LOG(expected) \
  EXPECT_EQ(g_log, (expected)) << "got:" << Join(g_log) << "\nexpected:" << Join(expected)

class TabItems : public ::testing::Test {
 protected:
  void SetUp() override { g_log.clear(); }

  // Adds pages "a", "b", ... with captions "A", "B", ... and keys "KeyA", "KeyB", ...
  std::vector<std::shared_ptr<FakePage>> AddPages(int n) {
    std::vector<std::shared_ptr<FakePage>> pages;
    for (int i = 0; i < n; ++i) {
      const std::string letter(1, static_cast<char>('a' + i));
      auto page = std::make_shared<FakePage>(letter);
      std::string upper = letter;
      upper[0] = static_cast<char>(upper[0] - 'a' + 'A');
      strip.items.Add(upper, page, Variant("Key" + upper));
      pages.push_back(page);
    }
    g_log.clear();
    return pages;
  }

  std::string Captions() const {
    std::string text;
    for (std::int32_t i = 0; i < strip.items.Count(); ++i) {
      text += strip.items.Item(Variant(i))->Caption();
    }
    return text;
  }

  FakeStrip strip;
};

// ---- Add -------------------------------------------------------------------------------------

TEST_F(TabItems, AddInitialisesTwiceAndAdoptsBeforeTheItemEntersTheList) {
  auto page = std::make_shared<FakePage>("p");
  EXPECT_TRUE(strip.items.Add("Caption", page, Variant("Key"), Variant(0)));
  const Log expected = {"p.hWnd",
                        "p.Initialize",
                        "strip.Redraw(true)",
                        "p.Initialize",
                        "strip.ChangeForm(p) count 0",
                        "strip.Add(Caption, p, \"Key\", 0) count 1",
                        "strip.hWnd"};
  EXPECT_LOG(expected);
  EXPECT_EQ(page->strip, &strip);
  EXPECT_EQ(page->item.lock(), strip.items.Item(Variant(0)));
  EXPECT_EQ(strip.items.Item(Variant(0))->Strip(), &strip);
  EXPECT_EQ(strip.selected, -1) << "Add does not select";
}

struct AddIndexCase {
  const char* name;
  Variant index;
  int error;             // 0: added
  const char* captions;  // the list afterwards (the new tab is "N")
};

class AddIndexTable : public TabItems, public ::testing::WithParamInterface<AddIndexCase> {};

TEST_P(AddIndexTable, OnThreeTabs) {
  AddPages(3);
  auto page = std::make_shared<FakePage>("n");
  int error = 0;
  try {
    strip.items.Add("N", page, Variant(), GetParam().index);
  } catch (const TabError& e) {
    error = e.Number();
  }
  EXPECT_EQ(error, GetParam().error);
  EXPECT_EQ(Captions(), GetParam().captions);
  if (error != 0) {
    // The page was initialised and adopted before the position was checked; the dropped item
    // unloaded it, and the strip never heard of a new tab.
    const Log expected = {"n.hWnd",
                          "n.Initialize",
                          "strip.Redraw(true)",
                          "n.Initialize",
                          "strip.ChangeForm(n) count 3",
                          "n.Unload"};
    EXPECT_LOG(expected);
  } else {
    EXPECT_TRUE(page->loaded);
  }
}

INSTANTIATE_TEST_SUITE_P(
    CTabItems, AddIndexTable,
    ::testing::Values(AddIndexCase{"Missing", Variant(), 0, "ABCN"},
                      AddIndexCase{"Zero", Variant(0), 0, "NABC"},
                      AddIndexCase{"One", Variant(1), 0, "ANBC"},
                      AddIndexCase{"Count", Variant(3), 0, "ABCN"},
                      AddIndexCase{"BeyondCount", Variant(4), 9, "ABC"},
                      AddIndexCase{"Negative", Variant(-1), 9, "ABC"},
                      AddIndexCase{"HalfToZero", Variant(0.5), 0, "NABC"},
                      AddIndexCase{"OneAndHalfToTwo", Variant(1.5), 0, "ABNC"},
                      AddIndexCase{"TwoAndHalfToTwo", Variant(2.5), 0, "ABNC"},
                      AddIndexCase{"ThreeAndHalfToFour", Variant(3.5), 9, "ABC"},
                      AddIndexCase{"MinusHalfToZero", Variant(-0.5), 0, "NABC"},
                      AddIndexCase{"Huge", Variant(1e12), 9, "ABC"},
                      AddIndexCase{"BooleanTrueIsMinusOne", Variant(true), 9, "ABC"},
                      AddIndexCase{"BooleanFalseIsZero", Variant(false), 0, "NABC"},
                      AddIndexCase{"NumericString", Variant("2"), 0, "ABNC"},
                      AddIndexCase{"NumericStringWithBlanks", Variant(" 1 "), 0, "ANBC"},
                      AddIndexCase{"FractionalString", Variant("1.5"), 0, "ABNC"},
                      AddIndexCase{"NonNumericString", Variant("two"), 5, "ABC"},
                      AddIndexCase{"EmptyString", Variant(""), 5, "ABC"},
                      AddIndexCase{"Object", Variant(std::make_shared<FakePage>("x")), 5, "ABC"}),
    [](const auto& info) { return std::string(info.param.name); });

struct AddKeyCase {
  const char* name;
  Variant key;
  Variant index;
  int error;
};

class AddKeyTable : public TabItems, public ::testing::WithParamInterface<AddKeyCase> {};

TEST_P(AddKeyTable, WithKeysKeyAKeyBKeyC) {
  auto pages = AddPages(3);
  auto page = std::make_shared<FakePage>("n");
  int error = 0;
  try {
    strip.items.Add("N", page, GetParam().key, GetParam().index);
  } catch (const TabError& e) {
    error = e.Number();
  }
  EXPECT_EQ(error, GetParam().error);
  EXPECT_EQ(page->loaded, error == 0);
  EXPECT_EQ(strip.items.Count(), error == 0 ? 4 : 3);
  for (const auto& old : pages) EXPECT_TRUE(old->loaded);
}

INSTANTIATE_TEST_SUITE_P(
    CTabItems, AddKeyTable,
    ::testing::Values(
        AddKeyCase{"NewKey", Variant("KeyD"), Variant(), 0},
        AddKeyCase{"NoKey", Variant(), Variant(), 0},
        AddKeyCase{"SameKey", Variant("KeyB"), Variant(), kErrDuplicateKey},
        AddKeyCase{"OtherCase", Variant("kEYb"), Variant(), kErrDuplicateKey},
        AddKeyCase{"DuplicateAtPosition", Variant("KEYA"), Variant(1), kErrDuplicateKey},
        AddKeyCase{"BadPositionBeforeDuplicate", Variant("KeyA"), Variant(7), kErrIndexOutOfRange},
        AddKeyCase{"NumberAsKey", Variant(4), Variant(), kErrInvalidArgument},
        AddKeyCase{"SpaceMakesItAnotherKey", Variant("KeyA "), Variant(), 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(TabItems, AddKeepsThePageWindowStyle) {
  platform::CreateWindowArgs args;
  args.messageOnly = true;
  args.style = platform::WS_POPUP | platform::WS_CAPTION;
  const platform::HWND hwnd = platform::CreateWindowEx(args);
  ASSERT_NE(hwnd, 0U);
  auto page = std::make_shared<FakePage>("p", hwnd);
  strip.items.Add("P", page);
  EXPECT_EQ(static_cast<std::uint32_t>(strip.items.Item(Variant(0))->SavedStyle()),
            platform::WS_POPUP | platform::WS_CAPTION);

  // The strip adopts the window as a child; releasing the page puts its own style back and
  // keeps it loaded.
  platform::SetWindowLongPtr(hwnd, platform::GWL_STYLE, platform::WS_CHILD);
  g_log.clear();
  EXPECT_TRUE(strip.items.ReleaseForm(Variant(page)));
  const Log expected = {"strip.BeforeRemove(0)", "strip.Remove(0) count 0", "p.hWnd",
                        "strip.hParent"};
  EXPECT_LOG(expected);
  EXPECT_EQ(static_cast<std::uint32_t>(platform::GetWindowLongPtr(hwnd, platform::GWL_STYLE)),
            platform::WS_POPUP | platform::WS_CAPTION);
  EXPECT_TRUE(page->loaded);
  EXPECT_EQ(page->item.lock(), nullptr) << "the item is gone, the page is not";
  platform::DestroyWindow(hwnd);
}

// A page whose window cannot become a window of its own (here: gone) is not reported released.
TEST_F(TabItems, ReleaseFormThatCannotFreeTheWindowFails) {
  platform::CreateWindowArgs args;
  args.messageOnly = true;
  const platform::HWND hwnd = platform::CreateWindowEx(args);
  platform::DestroyWindow(hwnd);
  auto page = std::make_shared<FakePage>("p", hwnd);
  strip.items.Add("P", page);
  EXPECT_FALSE(strip.items.ReleaseForm(Variant(page)));
  EXPECT_TRUE(page->loaded);
}

TEST_F(TabItems, ReleaseFormRefusedByTheHostChangesNothing) {
  auto pages = AddPages(2);
  strip.OnBeforeRemove = [](std::int32_t) { return false; };
  EXPECT_FALSE(strip.items.ReleaseForm(Variant("KeyB")));
  EXPECT_FALSE(strip.items.ReleaseForm(Variant("KeyZ")));
  EXPECT_EQ(strip.items.Count(), 2);
  EXPECT_TRUE(pages[1]->loaded);
}

// ---- FindItem and Item -----------------------------------------------------------------------

struct FindCase {
  const char* name;
  std::function<Variant(const std::vector<std::shared_ptr<FakePage>>&, const CTabItems&)> index;
  std::int32_t expected;
};

class FindItemTable : public TabItems, public ::testing::WithParamInterface<FindCase> {};

TEST_P(FindItemTable, OnThreeTabs) {
  // Keys "KeyA", "2" and "KeyC": the middle tab's key reads as a number.
  std::vector<std::shared_ptr<FakePage>> pages;
  for (const char* key : {"KeyA", "2", "KeyC"}) {
    pages.push_back(std::make_shared<FakePage>(key));
    strip.items.Add(key, pages.back(), Variant(key));
  }
  EXPECT_EQ(strip.items.FindItem(GetParam().index(pages, strip.items)), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    CTabItems, FindItemTable,
    ::testing::Values(
        FindCase{"KeyInOtherCase", [](auto&, auto&) { return Variant("keyc"); }, 2},
        FindCase{"UnknownKey", [](auto&, auto&) { return Variant("KeyB"); }, -1},
        FindCase{"NumericStringIsAKey", [](auto&, auto&) { return Variant("2"); }, 1},
        FindCase{"NumericStringThatIsNoKey", [](auto&, auto&) { return Variant("0"); }, -1},
        FindCase{"Position", [](auto&, auto&) { return Variant(0); }, 0},
        FindCase{"FractionBelowHalf", [](auto&, auto&) { return Variant(2.4); }, 2},
        FindCase{"HalfToEven", [](auto&, auto&) { return Variant(0.5); }, 0},
        FindCase{"Count", [](auto&, auto&) { return Variant(3); }, -1},
        FindCase{"Negative", [](auto&, auto&) { return Variant(-1); }, -1},
        FindCase{"Overflow", [](auto&, auto&) { return Variant(3e10); }, -1},
        FindCase{"BooleanTrue", [](auto&, auto&) { return Variant(true); }, -1},
        FindCase{"BooleanFalse", [](auto&, auto&) { return Variant(false); }, 0},
        FindCase{"Missing", [](auto&, auto&) { return Variant(); }, -1},
        FindCase{"Page", [](auto& pages, auto&) { return Variant(pages[2]); }, 2},
        FindCase{"PageNotInList",
                 [](auto&, auto&) { return Variant(std::make_shared<FakePage>("x")); }, -1},
        FindCase{"Item", [](auto&, auto& items) { return Variant(items.Item(Variant(1))); }, 1},
        FindCase{"ItemNotInList",
                 [](auto&, auto&) { return Variant(std::make_shared<CTabItem>()); }, -1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(TabItems, FindItemOnAnEmptyCollectionIsAlwaysMinusOne) {
  for (const Variant& v : {Variant(), Variant(0), Variant(false), Variant("a"),
                           Variant(std::make_shared<FakePage>("x"))}) {
    EXPECT_EQ(strip.items.FindItem(v), -1) << Describe(v);
  }
}

TEST_F(TabItems, ItemByPositionAndByKey) {
  AddPages(3);
  EXPECT_EQ(strip.items.Item(Variant(-1)), nullptr);
  EXPECT_EQ(strip.items.Item(Variant(3)), nullptr);
  EXPECT_EQ(strip.items.Item(Variant("keyb"))->Caption(), "B");
  try {
    strip.items.Item(Variant("KeyZ"));
    ADD_FAILURE() << "a key that is not in the list raises";
  } catch (const TabError& e) {
    EXPECT_EQ(e.Number(), kErrInvalidArgument);
  }
}

// ---- Remove and Clear ------------------------------------------------------------------------

TEST_F(TabItems, RemoveAsksTheStripTellsItThenUnloads) {
  auto pages = AddPages(3);
  EXPECT_TRUE(strip.items.Remove(Variant("KeyB"), true));
  const Log expected = {"strip.BeforeRemove(1)", "strip.Remove(1) count 2", "b.Unload"};
  EXPECT_LOG(expected);
  EXPECT_EQ(Captions(), "AC");
}

TEST_F(TabItems, RemoveWithoutUnloadUnloadsWhenTheLastHolderLetsGo) {
  auto pages = AddPages(3);
  std::shared_ptr<CTabItem> held = strip.items.Item(Variant(0));
  EXPECT_TRUE(strip.items.Remove(Variant(0), false));
  EXPECT_TRUE(pages[0]->loaded) << "the host still holds the item";
  EXPECT_TRUE(strip.items.Remove(Variant(pages[1]), false));
  EXPECT_FALSE(pages[1]->loaded) << "nobody held the item";
  held.reset();
  EXPECT_FALSE(pages[0]->loaded);
  EXPECT_EQ(Captions(), "C");
}

TEST_F(TabItems, RemoveRefusedOrUnknownChangesNothing) {
  auto pages = AddPages(3);
  strip.OnBeforeRemove = [](std::int32_t) { return false; };
  EXPECT_FALSE(strip.items.Remove(Variant(1), true));
  EXPECT_FALSE(strip.items.Remove(Variant("KeyZ"), true));
  EXPECT_FALSE(strip.items.Remove(Variant(5), true));
  const Log expected = {"strip.BeforeRemove(1)"};
  EXPECT_LOG(expected);
  EXPECT_EQ(Captions(), "ABC");
  EXPECT_TRUE(pages[1]->loaded);
}

TEST_F(TabItems, HostThatClearsTheListWhileAskedLeavesNothingToRemove) {
  // The main window closes itself (clearing its tabs) when the last tab is to be closed.
  auto pages = AddPages(1);
  strip.OnBeforeRemove = [this](std::int32_t) {
    strip.items.Clear();
    return false;
  };
  EXPECT_FALSE(strip.items.Remove(Variant(0), true));
  strip.OnBeforeRemove = [this](std::int32_t) {
    strip.items.Clear();
    return true;
  };
  strip.items.Add("A", pages[0]);
  EXPECT_FALSE(strip.items.Remove(Variant(0), true));
  EXPECT_EQ(strip.items.Count(), 0);
}

TEST_F(TabItems, ClearUnloadsLeftToRightAndDoesNotTellTheStrip) {
  auto pages = AddPages(3);
  EXPECT_TRUE(strip.items.Clear());
  const Log expected = {"a.Unload", "b.Unload", "c.Unload"};
  EXPECT_LOG(expected);
  EXPECT_EQ(strip.items.Count(), 0);
}

// Pages that close their own tab from inside their unload; run also under AddressSanitizer.
class SelfClosing : public TabItems {
 protected:
  std::vector<std::shared_ptr<FakePage>> AddSelfClosingPages(int n) {
    auto pages = AddPages(n);
    for (const auto& page : pages) {
      std::weak_ptr<FakePage> weak = page;
      page->OnUnload = [this, weak] {
        if (auto self = weak.lock()) strip.items.Remove(Variant(self), true);
      };
    }
    return pages;
  }
};

TEST_F(SelfClosing, DuringRemove) {
  auto pages = AddSelfClosingPages(3);
  EXPECT_TRUE(strip.items.Remove(Variant(1), true));
  EXPECT_EQ(Captions(), "AC");
}

TEST_F(SelfClosing, DuringClear) {
  auto pages = AddSelfClosingPages(3);
  // Each page removes its own tab while Clear walks the tabs: still every page, left to right.
  strip.items.Clear();
  const Log expected = {"a.Unload", "strip.BeforeRemove(0)", "strip.Remove(0) count 2",
                        "b.Unload", "strip.BeforeRemove(0)", "strip.Remove(0) count 1",
                        "c.Unload", "strip.BeforeRemove(0)", "strip.Remove(0) count 0"};
  EXPECT_LOG(expected);
  EXPECT_EQ(strip.items.Count(), 0);
}

TEST_F(SelfClosing, AtTheItemsEnd) {
  auto pages = AddSelfClosingPages(3);
  pages[0]->OnUnload = [this] { strip.items.Remove(Variant(0), true); };  // closes a neighbour
  EXPECT_TRUE(strip.items.Remove(Variant(0), false));
  EXPECT_EQ(Captions(), "C");
  for (const auto& page : pages) EXPECT_EQ(page->loaded, page->name == "c");
}

TEST_F(SelfClosing, AtTheCollectionsEnd) {
  std::vector<std::shared_ptr<FakePage>> pages;
  {
    FakeStrip other;
    for (const char* name : {"x", "y", "z"}) {
      auto page = std::make_shared<FakePage>(name);
      page->OnUnload = [&other] { other.items.Remove(Variant(0), true); };
      other.items.Add(name, page);
      pages.push_back(page);
    }
  }
  for (const auto& page : pages) EXPECT_FALSE(page->loaded);
}

TEST_F(TabItems, FiveHundredTabsAddAndRemoveInOrder) {
  std::mt19937 random(7);
  std::vector<std::string> model;
  std::vector<std::shared_ptr<FakePage>> pages;
  for (int i = 0; i < 500; ++i) {
    const std::string name = "p" + std::to_string(i);
    pages.push_back(std::make_shared<FakePage>(name));
    const auto at = static_cast<std::int32_t>(random() % (model.size() + 1));
    strip.items.Add(name, pages.back(), Variant("K" + name), Variant(at));
    model.insert(model.begin() + at, name);
  }
  ASSERT_EQ(strip.items.Count(), 500);
  while (!model.empty()) {
    const auto at = static_cast<std::int32_t>(random() % model.size());
    const std::string& name = model[static_cast<std::size_t>(at)];
    // Alternate between naming the tab by key, by position and by page.
    const auto page = pages[std::stoul(name.substr(1))];
    const Variant index = at % 3 == 0   ? Variant("k" + name)
                          : at % 3 == 1 ? Variant(at)
                                        : Variant(page);
    ASSERT_EQ(strip.items.FindItem(index), at) << name;
    ASSERT_TRUE(strip.items.Remove(index, at % 2 == 0));
    EXPECT_FALSE(page->loaded);
    model.erase(model.begin() + at);
    ASSERT_EQ(strip.items.Count(), static_cast<std::int32_t>(model.size()));
    if (!model.empty()) {
      ASSERT_EQ(strip.items.Item(Variant(at % strip.items.Count()))->Caption(),
                model[static_cast<std::size_t>(at) % model.size()]);
    }
  }
}

// ---- The item --------------------------------------------------------------------------------

TEST_F(TabItems, EachOptionRedrawsTheStripOnce) {
  AddPages(1);
  const auto item = strip.items.Item(Variant(0));
  item->Caption("New");
  item->HideButton(true);
  item->LockSize(true);
  item->ItemData(Variant(42));
  const Log expected = {"strip.Redraw(true)", "strip.Redraw(true)", "strip.Redraw(true)"};
  EXPECT_LOG(expected);
}

TEST_F(TabItems, ReassigningTheFormInitialisesAndAdoptsTheNewPageOnly) {
  auto pages = AddPages(1);
  auto replacement = std::make_shared<FakePage>("r");
  const auto item = strip.items.Item(Variant(0));
  item->Form(replacement);
  const Log expected = {"r.Initialize", "strip.ChangeForm(r) count 1"};
  EXPECT_LOG(expected);
  EXPECT_EQ(replacement->item.lock(), item);
  EXPECT_TRUE(pages[0]->loaded) << "the page that was there is let go, not unloaded";
}

TEST_F(TabItems, AnItemWithoutAStripDropsItsPageAtItsEnd) {
  auto page = std::make_shared<FakePage>("p");
  {
    auto item = std::make_shared<CTabItem>();
    item->Caption("x");
    item->Form(page);
    EXPECT_EQ(page->strip, nullptr);
    EXPECT_EQ(page->item.lock(), item);
  }
  EXPECT_FALSE(page->loaded);
}

}  // namespace
