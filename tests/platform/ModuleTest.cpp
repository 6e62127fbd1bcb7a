#include "platform/Module.h"

#include <gtest/gtest.h>

#include <fstream>

#include "formats/Abi.h"
#include "support/TestSupport.h"

using namespace platform;

namespace {

using AnswerFunc = int(ORBISK_CDECL*)();

// The test module is built next to this program.
std::string TestModulePath() {
  static int anchor;
  return ModuleFolder(&anchor) + "testmodule.dll";
}

}  // namespace

TEST(Module, ProgramFolderEndsWithSeparator) {
  static int anchor;
  std::string folder = ModuleFolder(&anchor);
  ASSERT_FALSE(folder.empty());
  char last = folder.back();
  EXPECT_TRUE(last == '/' || last == '\\') << folder;
  EXPECT_EQ(ModuleFolder(nullptr), "");
  int onStack = 0;
  EXPECT_EQ(ModuleFolder(&onStack), "");
}

TEST(Module, LoadsByDllNameAndResolvesSymbols) {
  Module module = Module::Load(TestModulePath(), true);
  ASSERT_TRUE(module) << TestModulePath();
  auto answer = reinterpret_cast<AnswerFunc>(module.Symbol("TestModuleAnswer"));
  ASSERT_NE(answer, nullptr);
  EXPECT_EQ(answer(), 42);
  EXPECT_EQ(module.Symbol("NoSuchEntry"), nullptr);
  EXPECT_EQ(module.Symbol(nullptr), nullptr);
  // Settings next to a library resolve against the folder the library lives in.
  std::string programFolder = TestModulePath();
  programFolder.resize(programFolder.size() - std::string("testmodule.dll").size());
  EXPECT_EQ(ModuleFolder(reinterpret_cast<const void*>(answer)), programFolder);
}

TEST(Module, SuffixCaseAndBackslashesAreAccepted) {
  std::string path = TestModulePath();
  path.replace(path.size() - 3, 3, "DlL");
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  Module module = Module::Load(path, true);
  EXPECT_TRUE(module) << path;
}

TEST(Module, SecondLoadGivesTheSameHandle) {
  // The filter manager recognises an already registered module by its handle.
  Module first = Module::Load(TestModulePath(), true);
  Module second = Module::Load(TestModulePath(), false);
  ASSERT_TRUE(first);
  EXPECT_EQ(first.Handle(), second.Handle());
  second.Free();
  EXPECT_FALSE(second);
  EXPECT_NE(first.Symbol("TestModuleAnswer"), nullptr);  // still referenced by first
}

TEST(Module, MissingOrBrokenModulesGiveEmptyResults) {
  testing_support::TempDir dir;
  EXPECT_FALSE(Module::Load("", false));
  EXPECT_FALSE(Module::Load("orbisk-no-such-module.dll", false));
  EXPECT_FALSE(Module::Load(dir.File("missing.dll"), true));
  std::ofstream(dir.File("broken.dll"), std::ios::binary) << "MZ this is not a module";
  EXPECT_FALSE(Module::Load(dir.File("broken.dll"), true));
  Module none;
  EXPECT_EQ(none.Symbol("TestModuleAnswer"), nullptr);
  none.Free();
  EXPECT_EQ(ModuleSymbol(nullptr, "x"), nullptr);
  UnloadModule(nullptr);
}

TEST(Module, OwnershipMovesAndCanBeReleased) {
  Module a = Module::Load(TestModulePath(), true);
  ASSERT_TRUE(a);
  ModuleHandle raw = a.Handle();
  Module b = std::move(a);
  EXPECT_FALSE(a);
  EXPECT_EQ(b.Handle(), raw);
  Module c;
  c = std::move(b);
  EXPECT_EQ(c.Handle(), raw);
  ModuleHandle released = c.Release();
  EXPECT_FALSE(c);
  EXPECT_NE(ModuleSymbol(released, "TestModuleAnswer"), nullptr);
  Module adopted(released);
  EXPECT_EQ(adopted.Handle(), raw);
}
