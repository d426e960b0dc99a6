// The settings page's reactions, independent of the window.
#include "page/page_model.h"

#include "settings/text.h"

namespace tachy {

const char kCreditsText[] =
    "Don't be fooled by cheap imitations ask for the original\n"
    "Tachymark written by Quillon. I'd like to\n"
    "say hi to all my friends on the 3dfx Voodoo3 Newsgroup.";
const char kCreditsCaption[] = "Tachymark";

namespace {

constexpr char kApplyFailedCaption[] = "Tachymark";

// The clock controls that follow the clock-adjustment switch, after the
// trackbar, in the order they are enabled.
const int kClockLabels[] = {kIdClockLabel, kIdMhzLabel, kIdLowerLimitLabel,
                            kIdUpperLimitLabel, kIdRestartNote};

// Control texts set from the string table, in order, with the page's own
// fields set between them (negative index: see ApplyLanguage).
struct TextRow {
  int id;
  int32_t index;
};
constexpr int32_t kFromClock = -1;
constexpr int32_t kFromModel = -2;
const TextRow kPageTexts[] = {
    {kIdSettingsFrame, 2}, {kIdVsyncFrame, 3},    {kIdGlideVsync, 4},
    {kIdD3DVsync, 5},      {kIdClockFrame, 6},    {kIdEnableClock, 7},
    {kIdClockLabel, kFromClock},                  {kIdMhzLabel, 9},
    {kIdRestartNote, 11},  {kIdInstalledFor, 13}, {kIdModelLabel, kFromModel},
    {kIdFactoryDefaults, 15}, {kIdRefreshRates, 16}, {kIdAboutFrame, 17},
    {kIdProductName, 18},  {kIdAuthor, 19},
};

}  // namespace

SettingsContext PageModel::Context() {
  SettingsContext ctx;
  ctx.registry = services_.registry;
  ctx.messages = services_.messages;
  ctx.owner = view_->Owner();
  ctx.platformKind = platformKind;
  ctx.adapters = &adapters;
  return ctx;
}

void PageModel::OnInitDialog() {
  platformKind = DetectPlatformKind(*services_.registry, *services_.system,
                                    &forceNT4, &forceNT5);
  modifiedSent = 0;
  settings.glideVsyncOff = 0;
  settings.d3dVsyncOff = 0;
  settings.enableClock = 0;
  ResetLanguageState(&language);
  ClearAdapterList(&adapters);
  if (platformKind == kPlatform9x) BuildAdapterList(*services_.registry, &adapters);

  // Without any Voodoo3 adapter the settings core starts the clock from
  // the board's stock clock.
  settings.currentClock = 0;
  const bool saved = LoadSettings(Context(), &settings);

  ApplyPageLanguage(this);
  // The limit message has said that the clock is reset now; when that
  // write was refused (no administrator rights on NT), say so right after
  // it, in the page's language.
  if (!saved) ShowNotSaved();
  RefreshClockControls();
  view_->SetCheck(kIdGlideVsync, settings.glideVsyncOff);
  view_->SetCheck(kIdD3DVsync, settings.d3dVsyncOff);
  view_->Enable(kIdD3DVsync, platformKind == kPlatform9x);
  if (platformKind != kPlatform9x) view_->Enable(kIdRefreshRates, false);
}

void PageModel::RefreshClockControls() {
  view_->SendTrackbar(kTbmClearTics, 1, 0);
  view_->SendTrackbar(kTbmSetTicFreq, 2, 0);
  view_->SendTrackbar(kTbmSetRangeMin, 1, settings.lowerLimit);
  view_->SendTrackbar(kTbmSetRangeMax, 1, settings.upperLimit);
  view_->SendTrackbar(kTbmSetPos, 1, settings.currentClock);
  view_->SetUnsigned(kIdClockLabel, static_cast<uint32_t>(settings.currentClock));
  view_->SetSigned(kIdLowerLimitLabel, settings.lowerLimit);
  view_->SetSigned(kIdUpperLimitLabel, settings.upperLimit);
  view_->SetCheck(kIdEnableClock, settings.enableClock);
  const bool on = settings.enableClock != 0;
  view_->Enable(kIdClockTrackbar, on);
  for (int id : kClockLabels) view_->Enable(id, on);
}

void PageModel::OnHScroll(bool fromTrackbar) {
  if (fromTrackbar)
    settings.currentClock =
        static_cast<int32_t>(view_->SendTrackbar(kTbmGetPos, 0, 0));
  view_->SetUnsigned(kIdClockLabel, static_cast<uint32_t>(settings.currentClock));
  if (fromTrackbar) MarkModified();
}

void PageModel::ToggleBox(int id, int32_t* flag) {
  if (view_->GetCheck(id) == 0) {
    view_->SetCheck(id, 1);
    *flag = 1;
  } else {
    view_->SetCheck(id, 0);
    *flag = 0;
  }
  MarkModified();
}

void PageModel::OnGlideVsync() { ToggleBox(kIdGlideVsync, &settings.glideVsyncOff); }

void PageModel::OnD3DVsync() { ToggleBox(kIdD3DVsync, &settings.d3dVsyncOff); }

void PageModel::OnEnableClock() {
  if (view_->GetCheck(kIdEnableClock) != 0) {
    view_->SetCheck(kIdEnableClock, 0);
    settings.enableClock = 0;
    settings.currentClock = settings.defaultClock;
  } else {
    view_->SetCheck(kIdEnableClock, 1);
    settings.enableClock = 1;
  }
  const bool on = settings.enableClock != 0;
  view_->Enable(kIdClockTrackbar, on);
  view_->SendTrackbar(kTbmSetPos, 1, settings.currentClock);
  view_->SetUnsigned(kIdClockLabel, static_cast<uint32_t>(settings.currentClock));
  for (int id : kClockLabels) view_->Enable(id, on);
  MarkModified();
}

void PageModel::OnFactoryDefaults() {
  settings.currentClock = settings.defaultClock;
  settings.enableClock = 0;
  RefreshClockControls();
  settings.glideVsyncOff = 0;
  settings.d3dVsyncOff = 0;
  view_->SetCheck(kIdGlideVsync, 0);
  view_->SetCheck(kIdD3DVsync, 0);
  MarkModified();
}

void PageModel::OnRefreshRates() { view_->RunRefreshRates(); }

bool PageModel::OnApply() {
  // The sheet applies every page it has created, also one the user did not
  // touch. Such a page still writes what it loaded, but when that is refused
  // (no administrator rights on NT) the user has lost nothing: no box, and
  // the sheet may close. Only a change of the user's that cannot be saved
  // is told, and it keeps the page modified and the sheet open.
  if (ApplySettings(Context(), &settings, 1) == 0 || !modifiedSent) {
    ClearModified();
    return true;
  }
  ShowNotSaved();
  return false;
}

void PageModel::ShowNotSaved() {
  view_->LoadText(ApplyFailedStringFor(language.stringBase), textBuffer,
                  sizeof textBuffer);
  view_->ShowMessage(textBuffer, kApplyFailedCaption, kMbOk);
}

void PageModel::OnCancel() { ClearModified(); }

void PageModel::OnRButtonDown(uint32_t keyFlags) {
  const uint32_t gesture = kMkLButton | kMkControl | kMkShift;
  if ((keyFlags & gesture) != gesture) return;
  if (view_->CursorOver(kIdProductName))
    view_->ShowMessage(kCreditsText, kCreditsCaption, kMbOk);
  if (view_->CursorOver(kIdVersionLine)) {
    language.cycleRequested = 1;
    ApplyPageLanguage(this);
  }
}

void PageModel::MarkModified() {
  if (!modifiedSent) {
    view_->NotifySheet(true);
    modifiedSent = 1;
  }
}

void PageModel::ClearModified() {
  view_->NotifySheet(false);
  modifiedSent = 0;
}

bool PageModel::ApplyLanguage() {
  const uint16_t lang = PickLanguage(&language, *services_.system);
  language.stringBase = StringBaseFor(lang);
  view_->MoveControls(PageLayoutFor(lang), kPageLayoutRows);
  for (const TextRow& row : kPageTexts) {
    if (row.index == kFromClock) {
      FormatText(textBuffer, sizeof textBuffer, "%i", settings.currentClock);
    } else if (row.index == kFromModel) {
      CopyText(textBuffer, sizeof textBuffer, settings.model);
    } else {
      view_->LoadText(language.stringBase + row.index, textBuffer,
                      sizeof textBuffer);
    }
    view_->SetText(row.id, textBuffer);
  }
  view_->LoadText(language.stringBase + kStrVersionPrefix, textBuffer,
                  sizeof textBuffer);
  view_->LoadText(language.stringBase + kStrVersionSuffix, suffixBuffer,
                  sizeof suffixBuffer);
  view_->SetVersionLine(textBuffer, suffixBuffer);
  return true;
}

int ApplyPageLanguage(PageModel* page) { return page->ApplyLanguage() ? 1 : 0; }

}  // namespace tachy
