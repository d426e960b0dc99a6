// The refresh-rate texts on any bytes: rate lists, choices and their store
// texts (in buffers of any size), a row's texts read from a mode key.
#include "fuzz_support.h"
#include "refresh/refresh_store.h"

using namespace tachy;
using fuzz::Require;

namespace {

void CheckSplit(FuzzedDataProvider& fdp) {
  std::string list = fuzz::Text(fdp, 400);
  std::vector<std::string> entries;
  ForEachRateEntry(list.c_str(), [](void* context, const char* entry) {
    Require(entry != nullptr, "null rate entry");
    static_cast<std::vector<std::string>*>(context)->push_back(entry);
  }, &entries);
  // The split works on the list as the row holds it (127 characters).
  std::string held = list.substr(0, kRateListChars - 1);
  std::string joined;
  size_t commas = 0;
  for (char c : held) commas += c == ',';
  for (size_t i = 0; i < entries.size(); ++i) {
    Require(entries[i].find(',') == std::string::npos, "an entry holds a comma");
    joined += (i ? "," : "") + entries[i];
  }
  Require(entries.size() == commas + 1, "entry count is not commas + 1");
  Require(joined == held, "entries do not join back into the list");
}

void FillWords(FuzzedDataProvider& fdp, ChoiceWords& words) {
  static const char* const kSets[3][3] = {{"Adapter", "Default", "Optimal"},
                                          {"Adaptateur", "Par d\xe9""faut", "Optimale"},
                                          {"Adapter", "Standard", "Optimal"}};
  int set = fdp.ConsumeIntegralInRange<int>(0, 3);
  for (int i = 0; i < 3; ++i)
    CopyText(words[i], sizeof words[i], set < 3 ? kSets[set][i] : fuzz::Text(fdp, 80).c_str());
}

void CheckDecode(FuzzedDataProvider& fdp, const ChoiceWords& words) {
  std::string text = fuzz::Text(fdp, 40);
  ChoiceKind kind = DecodeChoice(text.c_str());
  int32_t n = ParseDecimal(text.c_str());
  ChoiceKind expected = text.empty() ? ChoiceAdapter
                        : n == 0     ? ChoiceDefault
                        : n == -1    ? ChoiceOptimal
                                     : ChoiceRate;
  Require(kind == expected, "DecodeChoice of \"" + text + "\"");
  const char* search = ChoiceSearchText(text.c_str(), words);
  Require(search != nullptr, "ChoiceSearchText gave null");
  if (kind == ChoiceRate)
    Require(search == text.c_str(), "a rate is not searched as itself");
  else
    Require(search == words[kind], "a fixed choice is not searched by its word");
}

void CheckEncode(FuzzedDataProvider& fdp, const ChoiceWords& words) {
  std::string selected;
  switch (fdp.ConsumeIntegralInRange<int>(0, 3)) {
    case 0: selected = words[fdp.ConsumeIntegralInRange<int>(0, 2)]; break;
    case 1: selected = std::to_string(fdp.ConsumeIntegralInRange<int>(-100, 300)); break;
    default: selected = fuzz::Text(fdp, 300); break;
  }
  // Expected: delete for the Adapter word, "0" and "-1" for the other two
  // (compared exactly, in this order), else the rate with 41..179 kept.
  const int32_t rate = ParseDecimal(selected.c_str());
  const bool expectStore = selected != words[0];
  const std::string expectText = selected == words[1]   ? "0"
                                 : selected == words[2] ? "-1"
                                 : std::to_string(rate <= 40 || rate >= 180 ? 60 : rate);
  fuzz::Buffer store(fdp.ConsumeIntegralInRange<size_t>(1, 24), '#');
  bool stored = EncodeChoice(selected.c_str(), words, store.data.get(), store.size);
  Require(stored == expectStore, "EncodeChoice delete/store decision for \"" + selected + "\"");
  if (stored) {
    Require(fault::Terminated(store.data.get(), store.size), "EncodeChoice text not terminated");
    Require(expectText.substr(0, store.size - 1) == store.data.get(),
            "EncodeChoice text for \"" + selected + "\"");
  }
}

// A row read from a mode key whose default value and RefreshRate are any bytes.
void CheckReadRow(FuzzedDataProvider& fdp) {
  MemoryRegistry reg;
  const std::string key = fault::ModeKey(3, 16, "1024,768");
  std::string list = fdp.ConsumeBool() ? fuzz::Text(fdp, 300) : std::string();
  if (list.empty()) {  // a long list of rates, cut to a size
    list = "60";
    int entries = fdp.ConsumeIntegralInRange<int>(0, 80);
    for (int i = 0; i < entries; ++i)
      list += "," + std::to_string(fdp.ConsumeIntegralInRange<int>(0, 1000));
  }
  std::vector<unsigned char> data(list.begin(), list.end());
  if (fdp.ConsumeBool()) data.push_back(0);
  reg.PutRaw(key, "", kRegSz, data);
  reg.PutRaw(key, "RefreshRate", kRegSz, fuzz::PickData(fdp));
  static ModeTable table;
  std::memset(&table, 'Q', sizeof table);
  InitModeTable(&table);
  ModeRow& row = table.rows[3];
  ReadModeRow(reg, 3, 16, &row);
  Require(row.keyExists == 1, "mode key not found");
  fuzz::RequireRowAsStored(reg, key, row);
  fuzz::RequireEmpty(fault::CheckHandles(reg), "ReadModeRow");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider fdp(data, size);
  ChoiceWords words;
  FillWords(fdp, words);
  switch (fdp.ConsumeIntegralInRange<int>(0, 3)) {
    case 0: CheckSplit(fdp); break;
    case 1: CheckDecode(fdp, words); break;
    case 2: CheckEncode(fdp, words); break;
    default: CheckReadRow(fdp); break;
  }
  return 0;
}
