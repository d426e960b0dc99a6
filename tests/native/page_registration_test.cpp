// Self-registration rows of the page module.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "shellext/registration.h"

namespace tachy {
namespace {

class FakeClassRegistry : public ClassRegistry {
 public:
  std::map<std::string, std::string> values;
  std::vector<std::string> writes;
  int failAtWrite = 0;  // 1-based; 0: never

  bool HasDefaultValue(const char* key) override { return values.count(key) != 0; }
  bool SetDefaultValue(const char* key, const char* value) override {
    writes.push_back(key);
    if (static_cast<int>(writes.size()) == failAtWrite) return false;
    values[key] = value;
    return true;
  }
};

const char kClsid[] = "{7A41C3E2-5B19-11D2-A4C7-0060B0D4E91F}";
const std::string kClsidKey = std::string("CLSID\\") + kClsid;

TEST(Registration, FiveRowsInOrder) {
  FakeClassRegistry reg;
  EXPECT_TRUE(RegisterServerRows(reg, kClsid, "C:\\WINDOWS\\SYSTEM\\TACHPAGE.DLL"));
  const std::vector<std::string> order = {
      "PROPERTY.PROPERTYINTERFACE", kClsidKey, "PROPERTY.PROPERTYINTERFACE\\CLSID",
      kClsidKey + "\\ProgID", kClsidKey + "\\InProcServer32"};
  EXPECT_EQ(reg.writes, order);
  const std::map<std::string, std::string> values = {
      {"PROPERTY.PROPERTYINTERFACE", "PROPERTY.PROPERTYINTERFACE"},
      {kClsidKey, "PROPERTY.PROPERTYINTERFACE"}, {"PROPERTY.PROPERTYINTERFACE\\CLSID", kClsid},
      {kClsidKey + "\\ProgID", "PROPERTY.PROPERTYINTERFACE"},
      {kClsidKey + "\\InProcServer32", "C:\\WINDOWS\\SYSTEM\\TACHPAGE.DLL"}};
  EXPECT_EQ(reg.values, values);
}

TEST(Registration, ExistingFirstRowsAreKept) {
  FakeClassRegistry reg;
  reg.values["PROPERTY.PROPERTYINTERFACE"] = "Somebody else";
  reg.values[kClsidKey] = "Other name";
  EXPECT_TRUE(RegisterServerRows(reg, kClsid, "X.DLL"));
  EXPECT_EQ(reg.writes.size(), 3u);
  EXPECT_EQ(reg.values["PROPERTY.PROPERTYINTERFACE"], "Somebody else");
  EXPECT_EQ(reg.values[kClsidKey], "Other name");
}

TEST(Registration, FirstFailingWriteEndsAndIsReported) {
  for (int fail = 1; fail <= 5; ++fail) {
    FakeClassRegistry reg;
    reg.failAtWrite = fail;
    EXPECT_FALSE(RegisterServerRows(reg, kClsid, "X.DLL")) << fail;
    EXPECT_EQ(static_cast<int>(reg.writes.size()), fail);
  }
}

}  // namespace
}  // namespace tachy
