#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "installer/options.h"
#include "installer/platform_detect.h"
#include "installer/startup.h"
#include "installer/strings.h"
#include "test_fakes.h"

namespace tachy {
namespace {

InstallerState FreshState() {
  InstallerState s;
  InitInstallerState(&s);
  return s;
}

TEST(InstallerOptions, StartupLanguage) {
  struct Case { const char* commandLine; uint16_t system, expected; } cases[] = {
      {"", 12, 12}, {nullptr, 7, 7}, {"FORCELANG(french)", 9, 12}, {"forcelang(GERMAN)", 9, 7},
      {"FORCELANG(GeRmAn)", 12, 7}, {"FORCELANG(SPANISH)", 12, 9}, {"FORCELANG()", 12, 9},
      {"FORCELANG(FRENCH )", 7, 9}, {"/S FORCELANG(GERMAN) FORCE95", 9, 7},
      {"FORCELANG", 12, 9},            // present without argument: English
      {"FORCELANG( FRENCH)", 12, 9},   // the blank is part of the argument
      {"ForceLang(FRENCH)", 7, 7},     // mixed case is not the keyword
      {"FORCELANG (FRENCH)", 9, 12},   // "(" need not follow directly
      {"XFORCELANG(FRENCH)Y", 9, 12},  // inside a longer word
      {"FORCELANG LOWERLIMIT(110)", 12, 9},  // takes the later "(" : "110"
      {"forcelang FORCELANG(german)", 9, 7}, // capitals are searched first
      {"FORCELANG(\xC9" "FRENCH)", 12, 9},      // bytes >= 0x80 compare unequal
      {"FORCELANG)(FRENCH)", 9, 12},  // a ")" before the "(" is no end
  };
  for (const Case& c : cases)
    EXPECT_EQ(StartupLanguage(c.commandLine, c.system), c.expected)
        << (c.commandLine ? c.commandLine : "(null)");
}

TEST(InstallerOptions, ScanOptionArgument) {
  struct Case { const char* commandLine; bool found; const char* argument; } cases[] = {
      {"LOWERLIMIT(110)", true, "110"}, {"lowerlimit(110)", true, "110"},
      {"LowerLimit(110)", false, ""},   {"LOWERLIMIT 110", false, ""},
      {"LOWERLIMIT(110", false, ""},    {"LOWERLIMIT UPPERLIMIT(230)", true, "230"},
      {"UPPERLIMIT(230) LOWERLIMIT", false, ""},  // the copy starts at the keyword
      {"LOWERLIMIT(( 1 ))", true, "( 1 "}, {"LOWERLIMIT()", true, ""},
      {"lowerlimit(1) LOWERLIMIT(2)", true, "2"},  // capitals first
  };
  for (const Case& c : cases) {
    char arg[256] = "junk";
    EXPECT_EQ(ScanOptionArgument(c.commandLine, kKeywordLowerLimit, arg, sizeof arg), c.found)
        << c.commandLine;
    EXPECT_STREQ(arg, c.argument) << c.commandLine;
  }
  char small[4];
  EXPECT_TRUE(ScanOptionArgument("LOWERLIMIT(123456)", kKeywordLowerLimit, small, sizeof small));
  EXPECT_STREQ(small, "123");
}

TEST(InstallerOptions, LongCommandLinesAreCutAt256Bytes) {
  // The working copy holds 255 characters from the keyword's start.
  const std::string pad(255 - 10 - 5, ' ');
  struct Case { std::string line; int32_t lower, upper; } cases[] = {
      {"LOWERLIMIT" + pad + "(130)", 130, 220},   // ends at character 255: inside
      {"LOWERLIMIT " + pad + "(130)", 120, 220},  // one more: the ")" is outside
      {std::string(5000, 'x') + "LOWERLIMIT(135)", 135, 220},
      {"LOWERLIMIT(" + std::string(4000, '9'), 120, 220},  // no ")" inside the copy
      {"UPPERLIMIT(" + std::string(200, '0') + "230)", 120, 230}};
  ASSERT_EQ(cases[0].line.size(), 255u);
  for (const Case& c : cases) {
    InstallerState s = FreshState();
    ApplyLimitOptions(c.line.c_str(), &s);
    EXPECT_EQ(std::make_pair(s.LowerLimit, s.UpperLimit), std::make_pair(c.lower, c.upper))
        << c.line.size();
  }
}

TEST(InstallerOptions, LimitsAndClamps) {
  struct Case { const char* commandLine; int32_t lowerBeforeClamp, upperBeforeClamp, lower, upper; }
  cases[] = {
      {"", 120, 220, 120, 220},                  {"LOWERLIMIT(90)", 90, 220, 100, 220},
      {"LOWERLIMIT(150)", 150, 220, 140, 220},   {"LOWERLIMIT(-5)", -5, 220, 100, 220},
      {"LOWERLIMIT(100) UPPERLIMIT(240)", 100, 240, 100, 240},
      {"LOWERLIMIT(140) UPPERLIMIT(200)", 140, 200, 140, 200},
      {"UPPERLIMIT(250)", 120, 250, 120, 240},   {"UPPERLIMIT(x)", 120, 0, 120, 200},
      {"UPPERLIMIT(199)", 120, 199, 120, 200},   {"LOWERLIMIT 110", 120, 220, 120, 220},
      {"LOWERLIMIT(110", 120, 220, 120, 220},    {"LOWERLIMIT( +125)", 125, 220, 125, 220},
      {"LOWERLIMIT UPPERLIMIT(230)", 230, 230, 140, 230},
      {"lowerlimit(130) upperlimit(210)", 130, 210, 130, 210},
      {"LOWERLIMIT(125MHz)", 125, 220, 125, 220},
      {"LOWERLIMIT(\xA0" "130)", 0, 220, 100, 220},  // 0xA0 is not white space
      {"UPPERLIMIT(2\xE9" "30)", 120, 2, 120, 200},
      {"LOWERLIMIT(4294967426)", 130, 220, 130, 220},  // wraps like 32-bit atoi
      {"LOWERLIMIT(-2147483648)", -2147483647 - 1, 220, 100, 220},
  };
  for (const Case& c : cases) {
    InstallerState s = FreshState();
    ApplyLimitOptions(c.commandLine, &s);
    const std::pair<int32_t, int32_t> loaded(s.LowerLimit, s.UpperLimit);
    ClampLimits(&s);
    EXPECT_EQ(loaded, std::make_pair(c.lowerBeforeClamp, c.upperBeforeClamp)) << c.commandLine;
    EXPECT_EQ(std::make_pair(s.LowerLimit, s.UpperLimit), std::make_pair(c.lower, c.upper))
        << c.commandLine;
  }
}

TEST(InstallerOptions, PlatformOptionsInTableOrder) {
  struct Case { const char* commandLine; int32_t startKind, startWin98, f95, f98, fnt4, fnt5,
                win98, kind; } cases[] = {
      {"", 2, 0, 0, 0, 0, 0, 0, 2},          // nothing forced: detection stands
      {"", 1, 1, 0, 0, 0, 0, 1, 1},
      {"FORCE95", 1, 1, 1, 0, 0, 0, 0, 1},   // Windows 98 seen as 95
      {"force98", 3, 0, 0, 1, 0, 0, 1, 1},   // FORCE98 on NT
      {"FORCENT4", 1, 1, 0, 0, 1, 0, 0, 2},      {"forcent5", 1, 0, 0, 0, 0, 1, 0, 3},
      {"FORCENT4 FORCE95", 1, 0, 0, 0, 1, 0, 0, 2},  // later in table order wins
      {"FORCENT5 FORCENT4 FORCE98 FORCE95", 1, 0, 0, 0, 0, 1, 0, 3},
      {"FORCE98 FORCE95", 2, 0, 0, 1, 0, 0, 1, 1}, {"XXFORCENT4XX", 1, 0, 0, 0, 1, 0, 0, 2},
      {"Force95", 2, 0, 0, 0, 0, 0, 0, 2},   // mixed case: not recognised
  };
  for (const Case& c : cases) {
    InstallerState s = FreshState();
    s.PlatformKind = c.startKind;
    s.IsWin98 = c.startWin98;
    s.Force95 = s.Force98 = s.ForceNT4 = s.ForceNT5 = 1;  // cleared when absent
    ApplyPlatformOptions(c.commandLine, &s);
    EXPECT_EQ((std::vector<int32_t>{s.Force95, s.Force98, s.ForceNT4, s.ForceNT5, s.IsWin98,
                                    s.PlatformKind}),
              (std::vector<int32_t>{c.f95, c.f98, c.fnt4, c.fnt5, c.win98, c.kind}))
        << c.commandLine;
  }
}

uint32_t Build9x(uint32_t major, uint32_t minor, uint32_t build) {
  return (major << 24) | (minor << 16) | build;
}

TEST(InstallerPlatform, DetectAndIsWin98) {
  struct Case { const char* name; bool fails; uint32_t platformId, major, minor, build;
                int32_t kind, win98; } cases[] = {
      {"95 4.0.950", false, 1, 4, 0, Build9x(4, 0, 950), 1, 0},
      {"95 OSR2 4.0.1111", false, 1, 4, 0, Build9x(4, 0, 1111), 1, 0},
      {"98 beta 4.10.1997", false, 1, 4, 10, Build9x(4, 10, 1997), 1, 0},
      {"98 4.10.1998", false, 1, 4, 10, Build9x(4, 10, 1998), 1, 1},
      {"98 SE 4.10.2222", false, 1, 4, 10, Build9x(4, 10, 2222), 1, 1},
      {"ME 4.90.3000", false, 1, 4, 90, Build9x(4, 90, 3000), 1, 1},
      {"4.9.3000", false, 1, 4, 9, Build9x(4, 9, 3000), 1, 0},
      {"5.0 on the 9x id", false, 1, 5, 0, Build9x(5, 0, 3000), 1, 0},
      {"NT 3.51", false, 2, 3, 51, 1057, 1, 0}, {"NT 4", false, 2, 4, 0, 1381, 2, 0},
      {"NT 5", false, 2, 5, 0, 2195, 3, 0},     {"NT 6", false, 2, 6, 0, 6000, 1, 0},
      {"NT 4 with a 98-like build word", false, 2, 4, 0, Build9x(4, 10, 1998), 2, 0},
      {"Win32s", false, 0, 1, 30, 0, 1, 0},
      {"GetVersionExA fails", true, 2, 5, 0, 2195, 1, 0},
  };
  for (const Case& c : cases) {
    FakeSystemInfo sys;
    sys.versionFails = c.fails;
    sys.version = OsVersion{c.major, c.minor, c.build, c.platformId};
    InstallerState s = FreshState();
    s.PlatformKind = 2;
    s.IsWin98 = 1;
    DetectInstallerPlatform(sys, &s);
    EXPECT_EQ(s.PlatformKind, c.kind) << c.name;
    EXPECT_EQ(s.IsWin98, c.win98) << c.name;
  }
}

TEST(InstallerStartup, PrepareRunsDiscoveryOnlyOn9x) {
  struct Case { const char* name; FakeSystemInfo sys; const char* commandLine;
                int32_t kind, win98, count, lower, upper; } cases[] = {
      {"Windows 98", FakeSystemInfo::Windows98(), "", 1, 1, 2, 120, 220},
      {"NT 4", FakeSystemInfo::NT(4), "", 2, 0, 0, 120, 220},
      {"NT 5 forced to 98", FakeSystemInfo::NT(5), "FORCE98", 1, 1, 2, 120, 220},
      {"98 forced to NT 5", FakeSystemInfo::Windows98(), "FORCENT5 LOWERLIMIT(99)",
       3, 0, 0, 100, 220},
  };
  for (Case& c : cases) {
    MemoryRegistry reg;
    // 250 characters fit the installer's 256 bytes (not the page's 128); 256 do not.
    const std::string fits = std::string(243, 'x') + "voodoo3", long256 = std::string(249, 'x') +
                                                                           "voodoo3";
    const std::pair<int, std::string> descriptions[] = {
        {0, "3dfx Voodoo3 3000 AGP"}, {1, "Matrox Millennium"}, {3, fits}, {4, long256},
        {5, "VOODOO3"}};
    for (const auto& d : descriptions)
      reg.PutText(regtest::DisplayKey(d.first), "DriverDesc", d.second);
    InstallerState s = FreshState();
    PrepareInstallerState(reg, c.sys, c.commandLine, &s);
    EXPECT_EQ((std::vector<int32_t>{s.PlatformKind, s.IsWin98, s.AdapterList.count, s.LowerLimit,
                                    s.UpperLimit}),
              (std::vector<int32_t>{c.kind, c.win98, c.count, c.lower, c.upper}))
        << c.name;
    if (c.count == 2) {
      EXPECT_EQ(fault::Instances(s.AdapterList), (std::vector<int>{0, 3}));
      EXPECT_EQ(s.AdapterList.selected, 1);
      size_t opens = 0;
      for (const MemoryRegistry::Call& call : reg.Calls()) {
        EXPECT_EQ(call.op & MemoryRegistry::kOpWrites, 0u) << call.path;
        if (call.op == MemoryRegistry::kOpOpen) {
          ++opens;
          EXPECT_EQ(call.access, kKeyRead) << call.path;
        }
      }
      EXPECT_EQ(opens, 16u);
    } else {
      EXPECT_EQ(reg.CallCount(), 0u) << c.name;  // no registry access on NT
      EXPECT_EQ(s.AdapterList.selected, -1);
    }
  }
}

TEST(InstallerStartup, PageModulePath) {
  struct Case { const char* own; bool ok; const char* expected; } cases[] = {
      {"D:\\Setup\\tachinst.exe", true, "D:\\Setup\\TACHPAGE.DLL"},
      {"C:\\TACHINST.EXE", true, "C:\\TACHPAGE.DLL"},
      {"\\\\server\\share\\v3\\tachinst.exe", true, "\\\\server\\share\\v3\\TACHPAGE.DLL"},
      {"C:\\My Setup.v2\\tach inst.exe", true, "C:\\My Setup.v2\\TACHPAGE.DLL"},
      {"C:tachinst.exe", true, "C:TACHPAGE.DLL"}, {"tachinst.exe", true, "TACHPAGE.DLL"},
      {"", false, ""}, {nullptr, false, ""}};
  for (const Case& c : cases) {
    char out[256] = "junk";
    EXPECT_EQ(BuildPageModulePath(c.own, "TACHPAGE.DLL", out, sizeof out), c.ok)
        << (c.own ? c.own : "(null)");
    EXPECT_STREQ(out, c.expected);
  }
  // A path that does not fit is not found, never truncated.
  std::string deep = "C:\\" + std::string(240, 'd') + "\\tachinst.exe";
  char out[256];
  EXPECT_FALSE(BuildPageModulePath(deep.c_str(), "TACHPAGE.DLL", out, sizeof out));
  EXPECT_STREQ(out, "");
  std::string edge = "C:\\" + std::string(255 - 3 - 1 - 12, 'd') + "\\x.exe";
  EXPECT_TRUE(BuildPageModulePath(edge.c_str(), "TACHPAGE.DLL", out, sizeof out));
  EXPECT_EQ(std::string(out).size(), 255u);
}

// GetDriveTypeA is asked about the root of the installer's own drive; a
// floppy or other removable disk, a CD and a RAM disk refuse the install.
TEST(InstallerStartup, RemovableSourceByDriveType) {
  struct Drives : DriveInfo {
    uint32_t DriveType(const char* root) override { return asked += root, type; }
    uint32_t type = 0;
    std::string asked;
  };
  struct Case { const char *own, *root; uint32_t type; bool refused; } cases[] = {
      {"A:\\T.EXE", "A:\\", kDriveRemovable, true}, {"E:\\v3\\T.EXE", "E:\\", kDriveCdrom, true},
      {"R:\\T.EXE", "R:\\", kDriveRamdisk, true},   {"C:\\v3\\T.EXE", "C:\\", kDriveFixed, false},
      {"\\\\server\\share\\v3\\T.EXE", "\\\\server\\share\\", kDriveRemote, false},
      {"//host/disk/T.EXE", "//host/disk\\", kDriveUnknown, false},
      {"Q:T.EXE", "Q:\\", kDriveNoRootDir, false},
      {"\\\\server\\T.EXE", "", kDriveRemovable, false},  // no share, no root: not asked
      {"\\\\server", "", kDriveRemovable, false}, {"\\TACHY\\TACHINST.EXE", "", kDriveCdrom, false},
      {"TACHY\\T.EXE", "", kDriveRemovable, false},
      {"T.EXE", "", kDriveRemovable, false}, {"", "", kDriveCdrom, false}};
  for (const Case& c : cases) {
    InstallerState s = FreshState();
    CopyText(s.InstallerPath, sizeof s.InstallerPath, c.own);
    Drives drives;
    drives.type = c.type;
    CheckInstallSource(drives, &s);
    EXPECT_EQ(drives.asked, c.root) << c.own;
    char root[256] = "x";
    EXPECT_EQ(DriveRootOf(c.own, root, sizeof root), *c.root != 0) << c.own;
    EXPECT_STREQ(root, c.root) << c.own;
    EXPECT_EQ(s.RemovableSource, c.refused) << c.own;
  }
}

TEST(InstallerLanguage, StringBasesAndFailureIds) {
  struct Case { uint16_t language; int32_t base; int32_t installFailed, removeFailed, removable; }
  cases[] = {{9, 0, 106, 107, 112}, {12, 35, 108, 109, 113}, {7, 70, 110, 111, 114},
             {10, 0, 106, 107, 112}, {0, 0, 106, 107, 112}};
  for (const Case& c : cases) {
    EXPECT_EQ(InstallerStringBase(c.language), c.base) << c.language;
    EXPECT_EQ(FailureStringId(c.base, kInstallFailed), c.installFailed);
    EXPECT_EQ(FailureStringId(c.base, kRemoveFailed), c.removeFailed);
    EXPECT_EQ(FailureStringId(c.base, kRemovableSource), c.removable);
  }
  FakeSystemInfo sys;
  sys.languageId = 0x0C0C;  // French (Canada)
  EXPECT_EQ(SystemLanguage(sys), 12);
  sys.languageId = 0x0807;  // German (Switzerland)
  EXPECT_EQ(SystemLanguage(sys), 7);
}

TEST(InstallerLanguage, CycleRunsOverTheWholeRun) {
  // German unless a gesture asked for the next step of the cycle, never reset.
  InstallerState s = FreshState();
  struct Step { bool gesture; uint16_t expected; } steps[] = {
      {false, 7},  // Select Model opens in German
      {true, 12},  // gesture: French
      {false, 7},  // Installed dialog: German again
      {true, 7},   // gesture there: the cycle moves on to German
      {true, 9},   // and then English
      {true, 12}, {false, 7}};
  for (const Step& step : steps) {
    if (step.gesture) s.language.cycleRequested = 1;
    EXPECT_EQ(PickDialogLanguage(&s, 7), step.expected);
    EXPECT_EQ(s.language.cycleRequested, 0);
  }
}

TEST(InstallerDialogsMath, VersionLineAndCentring) {
  struct Line { uint32_t version; const char* suffix; size_t size; const char* text; } lines[] = {
      {0x00030002u, " English", 64, "Version 3.2 English"},
      {0, " Deutsch", 64, "Version 0.0 Deutsch"},
      {0xFFFFFFFFu, " Fran\xE7" "ais", 64, "Version 65535.65535 Fran\xE7" "ais"},
      {0x00030002u, " English", 8, "Version"}};
  for (const Line& l : lines) {
    char buf[64];
    FormatVersionLine(buf, l.size, "Version ", l.version, l.suffix);
    EXPECT_STREQ(buf, l.text);
  }
  // The last window is larger than the screen: the origin truncates toward zero.
  struct Centre { int32_t w, h, screenW, screenH, x, y; } centres[] = {
      {300, 200, 1024, 768, 362, 284}, {301, 201, 640, 480, 169, 139},
      {801, 700, 640, 480, -80, -110}};
  for (const Centre& c : centres) {
    int32_t x, y;
    CentredOrigin(c.w, c.h, c.screenW, c.screenH, &x, &y);
    EXPECT_EQ(std::make_pair(x, y), std::make_pair(c.x, c.y)) << c.w;
  }
}

}  // namespace
}  // namespace tachy
