// register and unregister's decisions against a registry in memory: random sequences of
// three launchers (and a fourth of the same file name as the first) on two types.
#include "file_types.h"

#include <gtest/gtest.h>

#include "path_fold.h"
#include "rows.h"

#include <chrono>
#include <map>
#include <random>

namespace {

std::string Fold(const std::string& name) { return AsciiLower(name); }

// Keys by their folded path, each with its name as written and its values; the root "" is
// always there. With `failIn` set, that many writes succeed and the next one fails.
class MemoryRegistry : public Registry {
 public:
  struct Key {
    std::string path;
    std::map<std::string, std::pair<std::string, RegistryValue>> values;
    bool operator==(const Key& other) const { return path == other.path && values == other.values; }
  };
  std::map<std::string, Key> keys{{"", Key{}}};
  int failIn = -1;
  bool failed = false;  // a write was made to fail

  RegistryValue Read(const std::string& key, const std::string& name) const override {
    auto k = keys.find(Fold(key));
    if (k == keys.end()) return {};
    auto v = k->second.values.find(Fold(name));
    return v == k->second.values.end() ? RegistryValue{} : v->second.second;
  }
  bool KeyExists(const std::string& key) const override { return keys.count(Fold(key)) != 0; }
  bool KeyIsEmpty(const std::string& key) const override {
    return KeyExists(key) && keys.at(Fold(key)).values.empty() && SubKeys(key).empty();
  }
  std::vector<std::string> SubKeys(const std::string& key) const override {
    std::vector<std::string> names;
    const std::string prefix = key.empty() ? "" : Fold(key) + "\\";
    for (const auto& [folded, k] : keys)
      if (!folded.empty() && folded.compare(0, prefix.size(), prefix) == 0 &&
          folded.find('\\', prefix.size()) == std::string::npos)
        names.push_back(k.path.substr(prefix.size()));
    return names;
  }
  std::vector<std::string> ValueNames(const std::string& key) const override {
    std::vector<std::string> names;
    if (KeyExists(key))
      for (const auto& entry : keys.at(Fold(key)).values) names.push_back(entry.second.first);
    return names;
  }
  std::string CreateKey(const std::string& key) override {
    if (Fails()) return "cannot write " + key;
    keys[Fold(key)].path = key;
    return "";
  }
  std::string Write(const std::string& key, const std::string& name, const RegistryValue& value) override {
    if (Fails()) return "cannot write " + key;
    auto& values = keys.at(Fold(key)).values;
    if (value.exists)
      values[Fold(name)] = {name, value};
    else
      values.erase(Fold(name));
    return "";
  }
  std::string DeleteKey(const std::string& key) override {
    if (Fails()) return "cannot write " + key;
    keys.erase(Fold(key));
    return "";
  }
  std::string RootName() const override { return "HKEY_CURRENT_USER\\Software\\Classes"; }

  void Set(const std::string& key, const std::string& name, const RegistryValue& value) {
    for (std::size_t end = key.find('\\');; end = key.find('\\', end + 1)) {
      keys[Fold(key.substr(0, end))].path = key.substr(0, end);
      if (end == std::string::npos) break;
    }
    if (!name.empty() || value.exists) Write(key, name, value);
  }

 private:
  bool Fails() {
    failed = failed || failIn == 0;
    return failIn >= 0 && failIn-- == 0;
  }
};

// A Send To folder in memory: each shortcut's path and target; with `fail`, Make fails.
class MemoryShortcuts : public Shortcuts {
 public:
  std::map<std::string, std::string> links;
  bool fail = false;
  std::string Folder() const override { return "C:\\Users\\u\\SendTo\\"; }
  std::string TargetOf(const std::string& path) const override {
    auto link = links.find(Fold(path));
    return link == links.end() ? "" : link->second;
  }
  std::string Make(const std::string& path, const std::string& target, const std::string&) override {
    if (fail) return "cannot write " + path;
    links[Fold(path)] = target;
    return "";
  }
  std::string Remove(const std::string& path) override {
    links.erase(Fold(path));
    return "";
  }
};

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
  registry.Write(".bbb", "", StringValue("mine.bbb"));
  const RegistryOutcome removed = UnregisterLauncher(registry, shortcuts, kLaunchers[0], {});
  EXPECT_EQ(removed.error, "");
  EXPECT_EQ(removed.types, kTypes);
  ASSERT_EQ(removed.said.size(), 1u);
  EXPECT_EQ(removed.said[0],
            "left HKEY_CURRENT_USER\\Software\\Classes\\.bbb (default) as it is: it was changed after register wrote "
            "it");
  EXPECT_EQ(TextOfValue(registry.Read(".bbb", "")), "mine.bbb");
  registry.Write(".bbb", "", {});  // the key it created stays while it holds the user's value
  registry.DeleteKey(".bbb");
  EXPECT_TRUE(registry.keys == before);
  EXPECT_TRUE(UnregisterLauncher(registry, shortcuts, kLaunchers[0], {}).nothingRegistered);
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
