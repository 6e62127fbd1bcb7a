#include "platform/Module.h"

#include <gtest/gtest.h>

#include <fstream>

#include "platform/Abi.h"
#include "support/TestSupport.h"

using namespace platform;

namespace {

using AnswerFunc = int(ORBISK_CDECL*)();

// The test module is built next to this program.
std::string ProgramFolder() {
  static int anchor;
  return ModuleFolder(&anchor);
}

std::string TestModulePath() { return ProgramFolder() + "testmodule.dll"; }

}  // namespace

TEST(Module, LoadsByDllNameResolvesSymbolsAndKnowsItsFolder) {
  Module module = Module::Load(TestModulePath(), true);
  ASSERT_TRUE(module) << TestModulePath();
  auto answer = reinterpret_cast<AnswerFunc>(module.Symbol("TestModuleAnswer"));
  ASSERT_NE(answer, nullptr);
  EXPECT_EQ(answer(), 42);
  EXPECT_EQ(module.Symbol("NoSuchEntry"), nullptr);
  EXPECT_EQ(module.Symbol(nullptr), nullptr);
  EXPECT_EQ(ModuleFolder(reinterpret_cast<const void*>(answer)), ProgramFolder());
  char last = ProgramFolder().back();
  EXPECT_TRUE(last == '/' || last == '\\');
  int onStack = 0;
  EXPECT_EQ(ModuleFolder(&onStack), "");
  EXPECT_EQ(ModuleFolder(nullptr), "");
}

TEST(Module, AcceptsAnySuffixCaseAndBackslashes) {
  std::string path = TestModulePath();
  path.replace(path.size() - 3, 3, "DlL");
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  EXPECT_TRUE(Module::Load(path, true)) << path;
}

TEST(Module, SecondLoadSharesTheHandleAndCountsReferences) {
  // The filter manager recognises an already registered module by its handle.
  Module first = Module::Load(TestModulePath(), true);
  Module second = Module::Load(TestModulePath(), false);
  ASSERT_TRUE(first);
  EXPECT_EQ(first.Handle(), second.Handle());
  second.Free();
  EXPECT_FALSE(second);
  EXPECT_NE(first.Symbol("TestModuleAnswer"), nullptr);

  ModuleHandle raw = first.Handle();
  Module moved;
  moved = std::move(first);
  EXPECT_FALSE(first);
  ModuleHandle released = moved.Release();
  EXPECT_EQ(released, raw);
  EXPECT_NE(ModuleSymbol(released, "TestModuleAnswer"), nullptr);
  UnloadModule(released);
}

TEST(Module, MissingOrBrokenModulesGiveEmptyResults) {
  testing_support::TempDir dir;
  EXPECT_FALSE(Module::Load("", false));
  EXPECT_FALSE(Module::Load("orbisk-no-such-module.dll", false));
  EXPECT_FALSE(Module::Load(dir.File("missing.dll"), true));
  std::ofstream(dir.File("broken.dll"), std::ios::binary) << "MZ this is not a module";
  EXPECT_FALSE(Module::Load(dir.File("broken.dll"), true));
  EXPECT_EQ(Module().Symbol("TestModuleAnswer"), nullptr);
  EXPECT_EQ(ModuleSymbol(nullptr, "x"), nullptr);
  UnloadModule(nullptr);
}
