// register and unregister's decisions against a registry in memory: random sequences of
// three launchers (and a fourth of the same file name as the first) on two types, with
// the user's own changes between them, records damaged, and runs that come between.
#include "file_types.h"

#include <gtest/gtest.h>

#include "change_record.h"
#include "memory_registry.h"
#include "rows.h"

#include <chrono>
#include <functional>
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

// The keys and values in which two registries differ, for a failure's message.
std::string Difference(const MemoryRegistry& a, const MemoryRegistry& b) {
  std::string out;
  for (const auto* side : {&a, &b})
    for (const auto& [folded, key] : side->keys) {
      const auto other = (side == &a ? b : a).keys.find(folded);
      if (other == (side == &a ? b : a).keys.end())
        out += (side == &a ? "\n  only in the first: " : "\n  only in the second: ") + key.path;
      else if (side == &a && !(other->second == key))
        for (const auto& [name, value] : key.values)
          if (other->second.values.count(name) == 0 || other->second.values.at(name) != value)
            out += "\n  differs: " + key.path + " " + name + " = " + TextOfValue(value.second);
    }
  return out;
}

// A row of a record made unreadable (a later layout, cut short, a length past its end),
// or one naming a place register never writes; "" where there is no record.
std::string DamageARow(MemoryRegistry& registry, std::mt19937& random) {
  std::vector<std::pair<std::string, std::string>> rows;
  for (const auto& [folded, key] : registry.keys)
    if (folded.size() > 13 && folded.compare(folded.size() - 13, 13, "\\openerrecord") == 0)
      for (const auto& [name, value] : key.values)
        if (name.find_first_not_of("0123456789") == std::string::npos) rows.emplace_back(key.path, value.first);
  if (rows.empty()) return "";
  const auto& [key, slot] = rows[random() % rows.size()];
  RegistryValue value = registry.Read(key, slot);
  Change forged;
  switch (random() % 4) {
    case 0:
      value.data[0] = 2;
      break;
    case 1:
      value.data.pop_back();
      break;
    case 2:
      value.data[3] = '\x7f';
      break;  // the key's length
    default:
      forged = {false, "Directory\\shell\\other\\command", "", {}, StringValue("x")};
      value = EncodeChange(forged);
  }
  registry.Set(key, slot, value);
  return slot;
}

TEST(FileTypes, AnySequenceOfLaunchersGivesTheRegistryBack) {
  std::mt19937 random(20261210);
  const auto start = std::chrono::steady_clock::now();
  constexpr int kSequences = 2000;
  for (int sequence = 0; sequence < kSequences && !HasFailure(); ++sequence) {
    MemoryRegistry registry = Before();
    MemoryShortcuts shortcuts;
    MemoryRegistry expected = registry;  // at the end: as before, but for the user's own values
    std::vector<std::vector<std::string>> registered(kLaunchers.size());  // Items
    std::string log;
    for (int step = 0; step < 12 && !HasFailure(); ++step) {
      // The user sets a type's program, or a menu entry's text, of their own.
      if (random() % 6 == 0) {
        const std::string progId = ClassOf(kLaunchers[random() % kLaunchers.size()]);
        const std::string key = random() % 3 ? kTypes[random() % kTypes.size()] : "*\\shell\\" + progId;
        const std::string name = key[0] == '.' ? "" : "MUIVerb";
        if (key[0] == '.' || registry.KeyExists(key)) {
          const RegistryValue value = StringValue("user's " + std::to_string(step));
          registry.Set(key, name, value);
          expected.Set(key, name, value);
          log += " user sets " + key + ";";
        }
      }
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
      auto run = [&](std::size_t index) {
        return doRegister ? RegisterLauncher(registry, shortcuts, Of(kLaunchers[index], types, places))
                          : UnregisterLauncher(registry, shortcuts, kLaunchers[index], {types, places});
      };
      // Another run comes between this one's reads and its writes: it is refused, untouched.
      if (random() % 8 == 0)
        registry.onFirstWrite = [&] {
          log += " (a run between: refused)";
          const auto atThatMoment = registry.keys;
          const RegistryOutcome between = run(random() % kLaunchers.size());
          EXPECT_EQ(between.error, "another run holds the lock; nothing was changed") << log;
          EXPECT_TRUE(registry.keys == atThatMoment) << "a run held off changed something" << log;
        };
      // A record damaged: every run that reads it is refused, naming the row, and changes nothing.
      if (random() % 10 == 0) {
        const auto undamaged = registry.keys;
        if (const std::string slot = DamageARow(registry, random); !slot.empty()) {
          const auto damaged = registry.keys;
          const RegistryOutcome refused = run(who);
          registry.onFirstWrite = nullptr;
          registry.failIn = -1;
          shortcuts.fail = false;
          if (!refused.nothingRegistered) {
            EXPECT_NE(refused.error.find("cannot be trusted: its row " + slot), std::string::npos)
                << refused.error << log;
          }
          EXPECT_TRUE(registry.keys == damaged) << "a damaged record was acted on" << log;
          registry.keys = undamaged;
          log += " (a row damaged: refused);";
          continue;
        }
      }
      const RegistryOutcome outcome = run(who);
      registry.onFirstWrite = nullptr;
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
    EXPECT_TRUE(registry.keys == expected.keys) << "not given back after" << log << Difference(registry, expected);
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

// A record no run may trust: each command refuses, naming the record, its row and the way
// on, and changes nothing; the way on, taken, lets unregister give back the rest.
struct DamageRow : NamedRow {
  std::function<void(MemoryRegistry&, const std::string& key)> damage;
  std::string said;
};
class Damages : public testing::TestWithParam<DamageRow> {};
TEST_P(Damages, RefuseARecordThatCannotBeTrusted) {
  MemoryRegistry registry = Before();
  MemoryShortcuts shortcuts;
  ASSERT_EQ(RegisterLauncher(registry, shortcuts, Of(kLaunchers[0], {".aaa"}, {true, false, false})).error, "");
  const std::string key = ClassOf(kLaunchers[0]) + "\\OpenerRecord";
  GetParam().damage(registry, key);
  const auto damaged = registry.keys;
  const std::string refusal = "the record of " + kLaunchers[0] + " in HKEY_CURRENT_USER\\Software\\Classes\\" + key +
                              " cannot be trusted: " + GetParam().said + "; nothing was changed";
  EXPECT_EQ(RegisterLauncher(registry, shortcuts, Of(kLaunchers[1], {".bbb"})).error, refusal);
  EXPECT_EQ(UnregisterLauncher(registry, shortcuts, kLaunchers[0], {}).error, refusal);
  EXPECT_TRUE(registry.keys == damaged);
  if (const std::size_t slot = refusal.find("/v \""); slot != std::string::npos) {
    const std::string name = refusal.substr(slot + 4, refusal.find('"', slot + 4) - slot - 4);
    registry.keys.at(Fold(key)).values.erase(Fold(name));  // reg delete, as said
    EXPECT_EQ(UnregisterLauncher(registry, shortcuts, kLaunchers[0], {}).error, "");
  }
}
void SetRow(MemoryRegistry& registry, const std::string& key, const std::function<void(std::string&)>& change) {
  RegistryValue value = registry.Read(key, "00000000");
  change(value.data);
  registry.Set(key, "00000000", value);
}
const std::string kRemove =
    "; to leave what it changed as it is and go on, remove it: reg delete "
    "\"HKEY_CURRENT_USER\\Software\\Classes\\" +
    ClassOf(kLaunchers[0]) + "\\OpenerRecord\" /v ";
INSTANTIATE_TEST_SUITE_P(
    FileTypes, Damages,
    testing::Values(
        DamageRow{{"LaterLayout"},
                  [](MemoryRegistry& r, const std::string& k) { SetRow(r, k, [](std::string& d) { d[0] = 2; }); },
                  "its row 00000000 cannot be read: it was written by a later release of opener-template (layout 2); "
                  "use the release that wrote it"},
        DamageRow{{"CutShort"},
                  [](MemoryRegistry& r, const std::string& k) { SetRow(r, k, [](std::string& d) { d.pop_back(); }); },
                  "its row 00000000 cannot be read: it is cut short, or a length in it runs past its end" + kRemove +
                      "\"00000000\" /f"},
        DamageRow{{"RunsOn"},
                  [](MemoryRegistry& r, const std::string& k) { SetRow(r, k, [](std::string& d) { d += 'x'; }); },
                  "its row 00000000 cannot be read: it runs on past its last field" + kRemove + "\"00000000\" /f"},
        DamageRow{{"ForgedKey"},
                  [](MemoryRegistry& r, const std::string& k) {
                    r.Set(k, "00000000", EncodeChange({false, "exefile\\shell\\open\\command", "", {}, {}}));
                  },
                  "its row 00000000 names exefile\\shell\\open\\command (default), where register never writes" +
                      kRemove + "\"00000000\" /f"},
        DamageRow{{"UnknownValue"},
                  [](MemoryRegistry& r, const std::string& k) { r.Set(k, "Layout", StringValue("2")); },
                  "it holds a value this release does not know, \"Layout\"" + kRemove + "\"Layout\" /f"}),
    RowName());

// A record whose Launcher value register never wrote is the one of the launcher its class
// is named after (paths beyond ASCII: the Wine tests, with Windows' own comparison).
TEST(FileTypes, ARecordWithoutItsLauncherIsTheOneItsClassNames) {
  for (const std::string& launcher : {std::string(), std::string("C:\\Elsewhere\\other.exe")}) {
    MemoryRegistry registry = Before();
    MemoryShortcuts shortcuts;
    const auto before = registry.keys;
    ASSERT_EQ(RegisterLauncher(registry, shortcuts, Of(kLaunchers[0], {".aaa"})).error, "");
    registry.Set(ClassOf(kLaunchers[0]) + "\\OpenerRecord", "Launcher", StringValue(launcher));
    const RegistryOutcome removed = UnregisterLauncher(registry, shortcuts, kLaunchers[0], {});
    EXPECT_EQ(removed.error, "");
    ASSERT_FALSE(removed.said.empty());
    EXPECT_NE(removed.said[0].find("it was taken as this launcher's"), std::string::npos) << removed.said[0];
    EXPECT_TRUE(registry.keys == before);
  }
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
  EXPECT_EQ(RegisterLauncher(registry, shortcuts, {kLaunchers[0], "C:\\Ed\\ed.exe", "Ed", {}, sendTo}).shortcut,
            "C:\\Users\\u\\SendTo\\Ed (opener).lnk");
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

  // Both names taken: the shortcuts in the way are named.
  EXPECT_EQ(RegisterLauncher(registry, shortcuts, {kLaunchers[0], "C:\\Ed\\ed.exe", "Ed", {}, sendTo}).error,
            "the Send To folder has C:\\Users\\u\\SendTo\\Ed.lnk (to C:\\Ed\\ed.exe) and "
            "C:\\Users\\u\\SendTo\\Ed (opener).lnk (to C:\\Other\\other.exe): rename or remove one of them; "
            "nothing was changed");
  // The user's own shortcut to the launcher is neither adopted nor removed.
  shortcuts.links[Fold("C:\\Users\\u\\SendTo\\Mine.lnk")] = kLaunchers[2];
  EXPECT_EQ(RegisterLauncher(registry, shortcuts, {kLaunchers[2], "", "Mine", {}, sendTo}).said,
            std::vector<std::string>{"Send To: your own shortcut C:\\Users\\u\\SendTo\\Mine.lnk starts the "
                                     "launcher already; it stays yours, and unregister leaves it"});
  ASSERT_EQ(UnregisterLauncher(registry, shortcuts, kLaunchers[2], {}).error, "");
  EXPECT_EQ(shortcuts.TargetOf("C:\\Users\\u\\SendTo\\Mine.lnk"), kLaunchers[2]);
  // A new editor's name: its shortcut in place of the former one.
  ASSERT_EQ(RegisterLauncher(registry, shortcuts, {kLaunchers[1], "", "First Ed", {}, sendTo}).error, "");
  ASSERT_EQ(RegisterLauncher(registry, shortcuts, {kLaunchers[1], "", "Second Ed", {}, sendTo}).error, "");
  EXPECT_EQ(shortcuts.TargetOf("C:\\Users\\u\\SendTo\\First Ed.lnk"), "");
  EXPECT_EQ(shortcuts.TargetOf("C:\\Users\\u\\SendTo\\Second Ed.lnk"), kLaunchers[1]);
  // No folder: it is named.
  shortcuts.folderExists = false;
  EXPECT_EQ(RegisterLauncher(registry, shortcuts, {kLaunchers[2], "", "Ed", {}, sendTo}).error,
            "the Send To folder, C:\\Users\\u\\SendTo\\, is not there: make it, or point Send To at a folder that "
            "is; nothing was changed");
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
  EXPECT_EQ(LauncherPathError("C:\\" + std::string(249, 'a') + "\\la.exe"), "");  // 259 characters
  EXPECT_EQ(LauncherPathError("C:\\" + std::string(250, 'a') + "\\la.exe"),
            "the launcher's path is 260 characters long, and Windows starts no program whose path is longer than 259: "
            "move it to a shorter path");
  MemoryRegistry registry;
  MemoryShortcuts shortcuts;
  EXPECT_NE(RegisterLauncher(registry, shortcuts, {"C:\\my%1\\opener.exe", "", "Ed", {".aaa"}, {}}).error, "");
  EXPECT_TRUE(registry.keys == MemoryRegistry().keys);
}

}  // namespace
