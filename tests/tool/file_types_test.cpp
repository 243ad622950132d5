// register and unregister's decisions against a registry in memory: random sequences of
// three launchers (and a fourth of the same file name as the first) on two types.
#include "file_types.h"

#include <gtest/gtest.h>

#include "memory_registry.h"
#include "rows.h"

#include <chrono>
#include <random>

namespace {

// What a user may have before any launcher: a type whose default is REG_NONE with data and
// whose OpenWithProgids is empty, another type's program, and the "Open with" entry that
// Windows wrote for a program of the same file name as one of ours.
MemoryRegistry Before() {
  MemoryRegistry registry;
  registry.Set(".aaa", "", RegistryValue{true, kRegNone, std::string("\x01\x02", 2)});
  registry.Set(".aaa\\OpenWithProgids", "", {});
  registry.Set("other.aaa\\shell\\open\\command", "", StringValue("\"C:\\Other\\other.exe\" \"%1\""));
  registry.Set("Applications\\la.exe", "FriendlyAppName", StringValue("Picked by the user"));
  registry.Set("Applications\\la.exe\\shell\\open\\command", "", StringValue("\"C:\\Picked\\la.exe\" \"%1\""));
  registry.Set(".empty", "", {});
  return registry;
}

const std::vector<std::string> kLaunchers = {"C:\\A\\opener.exe", "C:\\B dir\\ed\xc3\xa9.exe", "C:\\Tools\\la.exe",
                                             "C:\\Copy\\OPENER.exe"};
const std::vector<std::string> kTypes = {".aaa", ".bbb"};

// Each launcher's editor has a name of its own.
Registration Of(const std::string& launcher, std::vector<std::string> types, Places places = {}) {
  const auto at = std::find(kLaunchers.begin(), kLaunchers.end(), launcher);
  return {launcher, "C:\\Ed\\ed.exe", "Ed" + std::to_string(at - kLaunchers.begin()), std::move(types), places};
}

// What a launcher holds in the model: its types, and its places as "menu", "folders", "send to".
std::vector<std::string> Items(const std::vector<std::string>& types, const Places& places) {
  std::vector<std::string> items = types;
  for (const auto& [held, name] :
       {std::pair{places.menu, "menu"}, std::pair{places.folders, "folders"}, std::pair{places.sendTo, "send to"}})
    if (held) items.push_back(name);
  return items;
}

// Each type opens with a launcher's class that is there, or with what it had.
void ExpectNoDanglingClass(const MemoryRegistry& registry, const std::string& when) {
  for (const std::string& type : kTypes) {
    const std::string progId = TextOfValue(registry.Read(type, ""));
    if (progId.rfind("opener.", 0) == 0) {
      EXPECT_TRUE(registry.KeyExists(progId)) << type << " names " << progId << when;
    }
  }
}

TEST(FileTypes, AnySequenceOfLaunchersGivesTheRegistryBack) {
  std::mt19937 random(20261210);
  const auto start = std::chrono::steady_clock::now();
  constexpr int kSequences = 2000;
  for (int sequence = 0; sequence < kSequences && !HasFailure(); ++sequence) {
    MemoryRegistry registry = Before();
    MemoryShortcuts shortcuts;
    const auto before = registry.keys;
    std::vector<std::vector<std::string>> registered(kLaunchers.size());  // Items
    std::string log;
    for (int step = 0; step < 12 && !HasFailure(); ++step) {
      const std::size_t who = random() % kLaunchers.size();
      const std::string& launcher = kLaunchers[who];
      std::vector<std::string> types;
      for (const std::string& type : kTypes)
        if (random() % 2) types.push_back(type);
      Places places;
      places.menu = random() % 3 == 0;
      places.folders = random() % 4 == 0;
      places.sendTo = random() % 4 == 0;
      const std::vector<std::string> items = Items(types, places);
      const bool doRegister = random() % 2 && !items.empty();
      const auto was = registry.keys;
      const auto linksWere = shortcuts.links;
      registry.failIn = random() % 4 == 0 ? static_cast<int>(random() % 40) : -1;
      registry.failed = false;
      shortcuts.fail = registry.failIn < 0 && random() % 12 == 0;  // one failure a step, and undoing it works
      const RegistryOutcome outcome = doRegister ? RegisterLauncher(registry, shortcuts, Of(launcher, types, places))
                                                 : UnregisterLauncher(registry, shortcuts, launcher, {types, places});
      const bool injected =
          registry.failed || (shortcuts.fail && outcome.error.rfind("cannot write C:\\Users", 0) == 0);
      registry.failIn = -1;
      shortcuts.fail = false;
      if (registry.failed) {
        EXPECT_NE(outcome.error, "") << "a failed write was not said";
      }
      log += (doRegister ? " register " : " unregister ") + std::to_string(who);
      for (const std::string& item : items) log += " " + item;
      log += outcome.error.empty() ? ";" : " (refused);";
      const std::string when = " after" + log;

      // A copy of the same file name is refused types while the other holds some; a
      // failure changes nothing.
      const std::size_t twin = who == 0 ? 3 : who == 3 ? 0 : who;
      auto holdsTypes = [&](std::size_t launcherIndex) {
        return std::any_of(registered[launcherIndex].begin(), registered[launcherIndex].end(),
                           [](const std::string& item) { return item[0] == '.'; });
      };
      if (!injected) {
        EXPECT_EQ(!outcome.error.empty(), doRegister && !types.empty() && twin != who && holdsTypes(twin))
            << outcome.error << when;
      }
      if (!outcome.error.empty()) {
        EXPECT_TRUE(registry.keys == was && shortcuts.links == linksWere) << "a refusal changed something" << when;
        continue;
      }
      if (!doRegister) {
        EXPECT_EQ(outcome.nothingRegistered, registered[who].empty()) << when;
      }
      if (!doRegister && registered[who].empty()) {
        EXPECT_TRUE(registry.keys == was) << when;
      }
      auto& held = registered[who];
      for (const std::string& item : items) {
        auto at = std::find(held.begin(), held.end(), item);
        if (doRegister && at == held.end()) held.push_back(item);
        if (!doRegister && at != held.end()) held.erase(at);
      }
      if (!doRegister && (items.empty() || held.empty())) held.clear();
      ExpectNoDanglingClass(registry, when);
      const bool linked = std::find(held.begin(), held.end(), "send to") != held.end();
      const bool hasLink = std::any_of(shortcuts.links.begin(), shortcuts.links.end(),
                                       [&](const auto& link) { return link.second == launcher; });
      EXPECT_EQ(hasLink, linked) << "Send To" << when;
    }
    // All gone, in any order: the registry as it was.
    std::vector<std::size_t> order = {0, 1, 2, 3};
    std::shuffle(order.begin(), order.end(), random);
    for (std::size_t who : order)
      EXPECT_EQ(UnregisterLauncher(registry, shortcuts, kLaunchers[who], {}).error, "") << log;
    EXPECT_TRUE(registry.keys == before) << "not given back after" << log;
    EXPECT_TRUE(shortcuts.links.empty()) << "a shortcut left after" << log;
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("%d sequences of 12 steps in %.2f s\n", kSequences, seconds);
}

TEST(FileTypes, RegisteringAgainChangesNothingAndUnregisterSaysWhatItLeft) {
  MemoryRegistry registry = Before();
  MemoryShortcuts shortcuts;
  const auto before = registry.keys;
  ASSERT_EQ(RegisterLauncher(registry, shortcuts, Of(kLaunchers[0], {".aaa", ".bbb"})).error, "");
  const auto once = registry.keys;
  ASSERT_EQ(RegisterLauncher(registry, shortcuts, Of(kLaunchers[0], {".aaa", ".bbb"})).error, "");
  EXPECT_TRUE(registry.keys == once);
  EXPECT_NE(RegisterLauncher(registry, shortcuts, Of(kLaunchers[3], {".bbb"})).error.find(kLaunchers[0]),
            std::string::npos);

  // The user points .bbb elsewhere: unregister leaves it, and says so.
  registry.Set(".bbb", "", StringValue("mine.bbb"));
  const RegistryOutcome removed = UnregisterLauncher(registry, shortcuts, kLaunchers[0], {});
  EXPECT_EQ(removed.error, "");
  EXPECT_EQ(removed.types, kTypes);
  ASSERT_EQ(removed.said.size(), 1u);
  EXPECT_EQ(removed.said[0],
            "left HKEY_CURRENT_USER\\Software\\Classes\\.bbb (default) as it is: it was changed after register wrote "
            "it");
  EXPECT_EQ(TextOfValue(registry.Read(".bbb", "")), "mine.bbb");
  registry.keys.erase(".bbb");  // the key it created stays while it holds the user's value
  EXPECT_TRUE(registry.keys == before);
  EXPECT_TRUE(UnregisterLauncher(registry, shortcuts, kLaunchers[0], {}).nothingRegistered);
}

// A registry that goes read-only midway: what could not be taken back is said, and no
// word claims that nothing was changed.
TEST(FileTypes, AFailedUndoSaysWhatItCouldNotGiveBack) {
  MemoryRegistry registry = Before();
  MemoryShortcuts shortcuts;
  registry.failIn = 6;
  registry.failOn = true;
  const std::string error = RegisterLauncher(registry, shortcuts, Of(kLaunchers[0], {".aaa"})).error;
  EXPECT_EQ(error.find("nothing was changed"), std::string::npos) << error;
  EXPECT_NE(error.find("; what this run changed was taken back but for this: cannot write "), std::string::npos)
      << error;
}

TEST(FileTypes, SendToNamesAShortcutOfItsOwnAndRemovesOnlyItsOwn) {
  MemoryRegistry registry;
  MemoryShortcuts shortcuts;
  shortcuts.links[Fold("C:\\Users\\u\\SendTo\\Ed.lnk")] = "C:\\Ed\\ed.exe";  // the user's own
  Places sendTo;
  sendTo.sendTo = true;
  for (const std::string& launcher : {kLaunchers[0], kLaunchers[1]})
    ASSERT_EQ(RegisterLauncher(registry, shortcuts, {launcher, "C:\\Ed\\ed.exe", "Ed", {}, sendTo}).error, "");
  EXPECT_EQ(shortcuts.TargetOf("C:\\Users\\u\\SendTo\\Ed (opener).lnk"), kLaunchers[0]);
  EXPECT_EQ(shortcuts.TargetOf("C:\\Users\\u\\SendTo\\Ed (ed\xc3\xa9).lnk"), kLaunchers[1]);
  EXPECT_NE(RegisterLauncher(registry, shortcuts, {kLaunchers[3], "C:\\Ed\\ed.exe", "Ed", {}, sendTo}).error, "");
  shortcuts.links[Fold("C:\\Users\\u\\SendTo\\Ed (opener).lnk")] = "C:\\Other\\other.exe";
  const RegistryOutcome removed = UnregisterLauncher(registry, shortcuts, kLaunchers[0], {});
  ASSERT_EQ(removed.said.size(), 1u);
  EXPECT_EQ(removed.said[0], "left C:\\Users\\u\\SendTo\\Ed (opener).lnk as it is: it no longer starts the launcher");
  EXPECT_EQ(UnregisterLauncher(registry, shortcuts, kLaunchers[1], {}).said.size(), 0u);
  EXPECT_EQ(shortcuts.links.size(), 2u);
  EXPECT_TRUE(registry.keys == MemoryRegistry().keys);
}

struct TypeRow : NamedRow {
  std::string type, error;
};
class TypeErrors : public testing::TestWithParam<TypeRow> {};
TEST_P(TypeErrors, RefuseWhatNoTypeIsAndWhatStartsPrograms) {
  EXPECT_EQ(FileTypeError(GetParam().type, ".COM;.EXE;.JS;.PY"), GetParam().error);
}
const std::string kDot = "a file type is a dot and 1 to 30 characters, such as .txt";
const std::string kHolds = "a file type holds no blank, control character or \\ / : * ? \" < > |";
auto Starts(const std::string& type) {
  return "Windows starts programs through " + type +
         " files: a launcher in their place would break every program start";
}
INSTANTIATE_TEST_SUITE_P(FileTypes, TypeErrors,
                         testing::ValuesIn(std::vector<TypeRow>{{"Plain", ".txt", ""},
                                                                {"NonAscii", ".t\xc3\xa9xt", ""},
                                                                {"ThirtyCharacters", "." + std::string(30, 'x'), ""},
                                                                {"NoDot", "txt", kDot},
                                                                {"DotAlone", ".", kDot},
                                                                {"ThirtyOne", "." + std::string(31, 'x'), kDot},
                                                                {"Blank", ".a b", kHolds},
                                                                {"Backslash", ".a\\b", kHolds},
                                                                {"Control", ".a\tb", kHolds},
                                                                {"Program", ".EXE", Starts(".EXE")},
                                                                {"Shortcut", ".lnk", Starts(".lnk")},
                                                                {"InPathext", ".py", Starts(".py")}}),
                         RowName());

struct ClassRow : NamedRow {
  std::string launcher, progId;
};
class ClassOfRows : public testing::TestWithParam<ClassRow> {};
TEST_P(ClassOfRows, NamesOneLauncherAsAProgIdMay) {
  const std::string progId = ClassOf(GetParam().launcher);
  EXPECT_EQ(progId.substr(0, progId.size() - 8), GetParam().progId);
  EXPECT_LE(progId.size(), 39u);
  EXPECT_EQ(progId.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789."),
            std::string::npos);
}
INSTANTIATE_TEST_SUITE_P(FileTypes, ClassOfRows,
                         testing::Values(ClassRow{"Plain", "C:\\Tools\\opener.exe", "opener.opener."},
                                         ClassRow{"Dash", "C:\\Tools\\opener-wait.exe", "opener.openerwait."},
                                         ClassRow{"BlankAndNonAscii", "C:\\Ed\\My Ed \xc3\xa9.exe", "opener.myed."},
                                         ClassRow{"NoLetterLeft", "C:\\Ed\\\xc3\xa9.EXE", "opener.launcher."},
                                         ClassRow{"Long", "C:\\Ed\\a-very-long-launcher-name-indeed.exe",
                                                  "opener.averylonglaunchernam."}),
                         RowName());

TEST(FileTypes, ClassesTellLaunchersApartByPathNotSpelling) {
  EXPECT_NE(ClassOf("C:\\A\\opener.exe"), ClassOf("C:\\B\\opener.exe"));
  EXPECT_EQ(ClassOf("C:\\A\\opener.exe"), ClassOf("c:/a/OPENER.EXE"));
}

TEST(FileTypes, StringValuesRoundTripAndPathsWithPercentAreRefused) {
  for (const std::string text : {"", "plain", "caf\xc3\xa9 \xe4\xb8\xad \xf0\x9f\x98\x80"})
    EXPECT_EQ(TextOfValue(StringValue(text)), text);
  EXPECT_EQ(StringValue("a\xc3\xa9").data, std::string("a\0\xe9\0\0\0", 6));
  EXPECT_EQ(LauncherPathError("C:\\Tools\\opener.exe"), "");
  EXPECT_NE(LauncherPathError("C:\\Downloads\\my%20tools\\opener.exe"), "");
  MemoryRegistry registry;
  MemoryShortcuts shortcuts;
  EXPECT_NE(RegisterLauncher(registry, shortcuts, {"C:\\my%1\\opener.exe", "", "Ed", {".aaa"}, {}}).error, "");
  EXPECT_TRUE(registry.keys == MemoryRegistry().keys);
}

}  // namespace
