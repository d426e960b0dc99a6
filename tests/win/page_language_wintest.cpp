// The tab in the system's language: French, German, Spanish (English texts in the wider
// layout) and British English. The program runs itself once per language with LC_ALL set,
// Wine posing as Windows 98.
#include "page_harness.h"

#include <tuple>

namespace pagetest {
namespace {

// The module's string table, ids 1..117 in three blocks of 39, then the
// failed-Apply message in English, French and German (118..120).
const char* const kStrings[121] = {
    nullptr,
    // English
    "Tachymark", "Voodoo3 Settings", "Vsync",
    "Don't sync buffer swaps to monitor refresh rate for &Glide",
    "Don't sync buffer swaps to monitor refresh rate for &Direct3D", "Graphics Clock",
    "&Enable graphics clock adjustment", "143", "Mhz", "120",
    "Restart Windows after adjusting graphics clock", "200", "Installed for:", "Voodoo3 2000",
    "&Factory Defaults", "&Refresh Rates...", "About", "Tachymark", "Author: Quillon", "Version ",
    " English", "Refresh Rates", "Refresh Rates", "Adapter", "Default", "Optimal",
    "&Link all color depths", "Color Depth", "8 bit color", "16 bit color", "24 bit color",
    "32 bit color", "Adapter Setting", "Default refresh rate", "Optimal refresh rate", "&Save",
    "&Default", "OK", "Cancel",
    // French
    "Tachy", "Réglages de la Voodoo3", "Vsync",
    "Désactiver la synchronisation verticale avec l'écran sous &Glide",
    "Désactiver la synchronisation verticale avec l'écran sous &Direct3D",
    "Fréquence d'horloge du circuit graphique", "&Permettre l'overclocking", "143", "Mhz", "120",
    "Rédémarrez Windows après avoir modifié ce réglage", "200", "Installé pour:", "Voodoo3 2000",
    "&Réglages d'usine", "&Fréquences...", "A propos de", "Tachymark", "Auteur: Quillon",
    "Version ", " Français", "Fréquences de rafraîchissement", "Fréquences de rafraîchissement",
    "Adaptateur", "Par défaut", "Optimale", "&Verrouiller les couleurs", "Couleurs", "8 bit",
    "16 bit", "24 bit", "32 bit", "Réglage de l'adaptateur", "Fréquence par défaut",
    "Fréquence optimale", "&Sauver", "&Par défaut", "OK", "Annuler",
    // German
    "Tachy", "Voodoo3 Einstellungen", "Vsync",
    "Bildspeicher Wechsel nicht synchronisieren für &Glide",
    "Bildspeicher Wechsel nicht synchronisieren für &Direct3D", "Grafik Takt",
    "G&rafik Takt Anpassung aktivieren", "143", "Mhz", "120",
    "Windows neustarten um Grafik Takt zu übernehmen", "200", "Installiert für:", "Voodoo3 2000",
    "&Standardeinstellungen", "&Wiederholraten...", "Über", "Tachymark", "Author: Quillon",
    "Version ", " Deutsch", "Wiederholraten", "Wiederholraten", "Adapter", "Standard", "Optimal",
    "&Alle Farbtiefen zusammen", "Farbtiefe", "8 Bit Farbe", "16 Bit Farbe", "24 Bit Farbe",
    "32 Bit Farbe", "Adapter Einstellung", "Standard Wiederholrate", "Optimal Wiederholrate",
    "&Sichern", "S&tandard", "OK", "Abbruch",
    // The failed-Apply message
    "The settings could not be saved. Changing them may need administrator rights.",
    "Les réglages n'ont pas pu être enregistrés. Leur modification peut nécessiter "
    "les droits d'administrateur.",
    "Die Einstellungen konnten nicht gespeichert werden. Zum Ändern sind eventuell "
    "Administratorrechte nötig.",
};

// Page controls whose text is string index n of the current block.
const struct {
  int id;
  int index;
} kPageTexts[] = {{1062, 2}, {1055, 3}, {1006, 4}, {1007, 5}, {1056, 6},
                  {1009, 7}, {1010, 9}, {1027, 11}, {1057, 13}, {1002, 15},
                  {1026, 16}, {1058, 17}, {1052, 18}, {1053, 19}};

struct Rect {
  int id, x, y, w, h;
};
const Rect kEnglishLayout[20] = {
    {1062, 9, 10, 236, 201},   {1055, 18, 25, 218, 42},  {1006, 27, 38, 205, 10},
    {1007, 27, 51, 205, 10},   {1056, 18, 78, 218, 60},  {1009, 27, 91, 130, 10},
    {1005, 190, 91, 19, 10},   {1010, 211, 91, 19, 10},  {1001, 24, 103, 207, 20},
    {1004, 23, 125, 19, 8},    {1027, 44, 125, 167, 8},  {1003, 212, 125, 19, 8},
    {1057, 17, 149, 44, 8},    {1008, 64, 149, 54, 8},   {1002, 22, 160, 90, 15},
    {1026, 22, 178, 90, 15},   {1058, 132, 148, 104, 44}, {1052, 137, 158, 95, 9},
    {1053, 137, 168, 95, 9},   {1054, 137, 178, 95, 9}};
const Rect kOtherLayout[20] = {
    {1062, 4, 10, 246, 201},   {1055, 10, 25, 234, 42},  {1006, 17, 38, 224, 10},
    {1007, 17, 51, 224, 10},   {1056, 10, 78, 234, 60},  {1009, 17, 91, 172, 10},
    {1005, 197, 91, 19, 10},   {1010, 218, 91, 19, 10},  {1001, 14, 103, 225, 20},
    {1004, 14, 125, 18, 8},    {1027, 34, 125, 185, 8},  {1003, 221, 125, 18, 8},
    {1057, 15, 149, 48, 8},    {1008, 66, 149, 58, 8},   {1002, 22, 160, 91, 15},
    {1026, 22, 178, 91, 15},   {1058, 138, 148, 106, 44}, {1052, 143, 158, 95, 9},
    {1053, 143, 168, 95, 9},   {1054, 143, 178, 95, 9}};

// What this run's system language should give.
struct System {
  const char* lcAll;
  WORD primary;  // GetSystemDefaultLangID() & 0x3FF
  int base;      // string base
  bool english;  // English layout
};
const System kSystems[] = {
    {"fr_FR.UTF-8", 12, 39, false},
    {"de_DE.UTF-8", 7, 78, false},
    {"es_ES.UTF-8", 10, 0, false},
    {"en_GB.UTF-8", 9, 0, true},
};
const System* g_system = nullptr;

// The page's texts from string block `base`, its positions from the layout given.
void ExpectLanguage(const Sheet& s, int base, bool englishLayout) {
  for (const auto& t : kPageTexts)
    EXPECT_EQ(Utf8(s.Item(t.id)), kStrings[base + t.index]) << "control " << t.id;
  EXPECT_EQ(Utf8(s.Item(1054)), std::string("Version 3.2") + kStrings[base + 21]);
  for (const Rect& r : englishLayout ? kEnglishLayout : kOtherLayout) {
    RECT want = {r.x, r.y, r.x + r.w, r.y + r.h}, got = WindowRect(s.Item(r.id));
    MapDialogRect(s.page, &want);
    MapWindowPoints(nullptr, s.page, reinterpret_cast<POINT*>(&got), 2);
    EXPECT_EQ(std::make_tuple(got.left, got.top, got.right, got.bottom),
              std::make_tuple(want.left, want.top, want.right, want.bottom)) << r.id;
  }
}

class Language : public PageTest {
 protected:
  void SetUp() override {
    PageTest::SetUp();
    Adjusting("180");
  }
};

TEST_F(Language, StringTableHoldsTheRightCharacters) {
  for (int id = 1; id <= 120; ++id) {
    wchar_t wide[512] = {};
    ASSERT_GT(LoadStringW(PageModule(), id, wide, 512), 0) << id;
    EXPECT_EQ(Utf8(wide), kStrings[id]) << "string " << id;
    // Through the ANSI code page as the page reads them.
    char ansi[512] = {}, expected[512] = {};
    LoadStringA(PageModule(), id, ansi, sizeof ansi);
    WideCharToMultiByte(CP_ACP, 0, wide, -1, expected, sizeof expected, nullptr, nullptr);
    EXPECT_STREQ(ansi, expected) << "string " << id;
  }
  wchar_t stray[64] = L"none";
  EXPECT_EQ(LoadStringW(PageModule(), 121, stray, 64), 0) << Utf8(stray);
  // The accented letters as Windows-1252 bytes.
  const std::pair<int, const char*> accented[] = {
      {41, "R\xe9glages de la Voodoo3"}, {61, "Fr\xe9quences de rafra\xee" "chissement"},
      {95, "\xdc" "ber"}, {60, " Fran\xe7" "ais"}};
  for (const auto& a : accented) {
    char ansi[512] = {};
    LoadStringA(PageModule(), a.first, ansi, sizeof ansi);
    EXPECT_TRUE(GetACP() != 1252 || !strcmp(ansi, a.second)) << a.first << " " << ansi;
  }
}

TEST_F(Language, PageOpensInTheSystemLanguage) {
  ASSERT_EQ(s.Open(), 1u);
  ExpectLanguage(s, g_system->base, g_system->english);
  s.Steps({"text 1005=180", "text 1008=Voodoo3 3000", "text 1004=120", "text 1003=220"});
  EXPECT_EQ(TabTitle(s.sheet, 1), "Tachymark");
  // This language's mnemonics reach their controls.
  for (int id : {1006, 1007, 1009}) {
    const bool was = s.Checked(id);
    s.Steps({("alt " + std::to_string(id)).c_str()});
    EXPECT_NE(s.Checked(id), was) << id << " " << s.MnemonicOf(id);
  }
  s.Steps({"alt 1002", "unchecked 1006", "unchecked 1007", "unchecked 1009"});  // Factory Defaults
}

TEST_F(Language, GestureStepsThroughFrenchGermanEnglish) {
  s.Open();
  // Some state that the gesture must keep; adjustment off: clock 166, controls disabled.
  s.Steps({"click 1006", "drag 200", "click 1009", "text 1005=166", "changed=1"});
  // Elsewhere, or without all three keys: nothing happens.
  s.Steps({"gesture 1053", "gesture 1054=lc", "gesture 1054=cs", "gesture 0"});
  ExpectLanguage(s, g_system->base, g_system->english);
  for (int base : {39, 78, 0, 39}) {
    s.Steps({"gesture 1054"});
    ExpectLanguage(s, base, base == 0);
    // A language change is no settings change.
    s.Steps({"checked 1006", "unchecked 1009", "off 1001", "off 1027", "text 1005=166",
             "text 1008=Voodoo3 3000", "changed=1", "boxes=0"});
  }
  s.Steps({"gesture 1052"});  // the credits, in this language too
  ExpectBoxes({{"Tachymark", nullptr, s.sheet}});
  // Reopening starts in the system language again.
  s.Steps({"press cancel"});
  s.Open();
  ExpectLanguage(s, g_system->base, g_system->english);
}

TEST_F(Language, FailedApplySpeaksThePageLanguage) {
  s.Open();
  s.Steps({"click 1006"});
  const std::string glide = KeyOf("Glide");
  PutText(glide, "other", "x");
  DenyWrites(glide, true);
  s.Steps({"press apply"});
  const char* first = kStrings[g_system->base == 39 ? 119 : g_system->base == 78 ? 120 : 118];
  ExpectBoxes({{"Tachymark", first, s.sheet}});
  // After the language gesture the next failure speaks the new language.
  // French after the others; after a French system's page, German (twice).
  const int next = g_system->base == 39 ? 78 : 39;
  s.Steps({"gesture 1054"});
  if (next == 78) s.Steps({"gesture 1054"});
  s.Steps({"press apply"});
  ExpectBoxes({{"Tachymark", first, s.sheet},
               {"Tachymark", kStrings[next == 39 ? 119 : 120], s.sheet}});
  DenyWrites(glide, false);
  s.Steps({"press apply", "apply off", "boxes=2"});
}

}  // namespace
}  // namespace pagetest

int main(int argc, char** argv) {
  using namespace pagetest;
  std::vector<Run> runs;
  for (const System& system : kSystems) {
    runs.push_back({"win98", system.lcAll});
    if (Env("PAGETEST_LANG") == system.lcAll) g_system = &system;
  }
  if (IsChild() && (!g_system || (GetSystemDefaultLangID() & 0x3FF) != g_system->primary)) {
    fprintf(stderr, "Wine gives the system language %#x for LC_ALL=%s (is the locale "
                    "installed? scripts/setup.sh generates it)\n",
            GetSystemDefaultLangID(), Env("PAGETEST_LANG").c_str());
    return ChildExit(1);
  }
  return Main(argc, argv, runs);
}
