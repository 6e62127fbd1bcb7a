#include "viewer/KernelFile.h"

#include <gtest/gtest.h>

#include <string>

using namespace viewer;

namespace {

// 27 big-endian 16-bit values: 1 to 25, then the divisor and the offset.
std::string AcfBytes(int16_t divisor, int16_t offset) {
  std::string bytes;
  auto put = [&](int16_t v) {
    bytes += char(uint16_t(v) >> 8);
    bytes += char(uint16_t(v) & 0xFF);
  };
  for (int16_t i = 1; i <= 25; ++i) put(i % 2 ? i : int16_t(-i));
  put(divisor);
  put(offset);
  return bytes;
}

}  // namespace

TEST(KernelFile, WritesTheTextFormAndReadsItBack) {
  EXPECT_EQ(KernelFileText(IdentityKernel()),
            "M5x5\n0   0   0   0   0\n0   0   0   0   0\n0   0   1   0   0\n"
            "0   0   0   0   0\n0   0   0   0   0\n1   0\n");

  Kernel5x5 kernel;
  for (size_t i = 0; i < 25; ++i) kernel.coefficients[i] = (double(i) - 12) * 1.25;
  kernel.coefficients[3] = 1234.5;
  kernel.coefficients[4] = -0.001;
  kernel.coefficients[5] = 2e10;
  kernel.divisor = 0.125;
  kernel.offset = -128;
  Kernel5x5 read;
  EXPECT_EQ(ReadKernel("saved.kernel", KernelFileText(kernel), read), KernelRead::Complete);
  EXPECT_EQ(read, kernel);
}

TEST(KernelFile, ReadsCrLfTextAndKeepsWhatAnEarlyEndLeft) {
  Kernel5x5 kernel;
  const std::string crlf =
      "M5x5 box\r\n1 1 1 1 1\r\n1 1 1 1 1\r\n1 1 1 1 1\r\n1 1 1 1 1\r\n1 1 1 1 1\r\n25 +3";
  EXPECT_EQ(ReadKernel("box.kernel", crlf, kernel), KernelRead::Complete);
  EXPECT_EQ(CoefficientSum(kernel), 25);
  EXPECT_EQ(kernel.divisor, 25);
  EXPECT_EQ(kernel.offset, 3);

  kernel = IdentityKernel();
  EXPECT_EQ(ReadKernel("cut.kernel", "M5x5\n1 2 3 4 5\n6 7\n", kernel), KernelRead::Incomplete);
  EXPECT_EQ(kernel.coefficients[4], 5);
  EXPECT_EQ(kernel.coefficients[6], 7);
  EXPECT_EQ(kernel.coefficients[7], 0);
  EXPECT_EQ(kernel.coefficients[12], 1);
  EXPECT_EQ(kernel.divisor, 1);

  // A row that stops short is not a complete read either.
  const std::string shortRow = "M5x5\n1 2 3 4 5\n1 2 x 4 5\n0 0 0 0 0\n0 0 0 0 0\n0 0 0 0 0\n1 0\n";
  EXPECT_EQ(ReadKernel("row.kernel", shortRow, kernel), KernelRead::Incomplete);
  EXPECT_EQ(kernel.coefficients[6], 2);
  EXPECT_EQ(kernel.coefficients[7], 0);
}

TEST(KernelFile, AnythingButAKernelLoadsNothing) {
  const Kernel5x5 before = IdentityKernel();
  for (const std::string text : {"", "m5x5\n", "M5x\n0 0 0 0 0\n", "\nM5x5\n"}) {
    Kernel5x5 kernel = before;
    EXPECT_EQ(ReadKernel("any.kernel", text, kernel), KernelRead::NotKernel) << text;
    EXPECT_EQ(kernel, before);
  }
  // A first line longer than a line is read in pieces: the rest starts the matrix.
  Kernel5x5 kernel;
  std::string longLine = "M5x5" + std::string(kKernelLineLimit, ' ') + "9 9 9 9 9\n";
  EXPECT_EQ(ReadKernel("long.kernel", longLine, kernel), KernelRead::Incomplete);
  EXPECT_EQ(kernel.coefficients[0], 9);
}

TEST(KernelFile, AcfOnlyByItsNameAndSize) {
  const std::string bytes = AcfBytes(-9, 128);
  ASSERT_EQ(bytes.size(), kAcfFileSize);
  Kernel5x5 kernel;
  EXPECT_EQ(ReadKernel("c:\\filters\\edge.acf", bytes, kernel), KernelRead::Complete);
  EXPECT_EQ(kernel.coefficients[0], 1);
  EXPECT_EQ(kernel.coefficients[1], -2);
  EXPECT_EQ(kernel.coefficients[24], 25);
  EXPECT_EQ(kernel.divisor, -9);
  EXPECT_EQ(kernel.offset, 128);
  EXPECT_EQ(ReadKernel("EDGE.ACF", bytes, kernel), KernelRead::Complete);

  const Kernel5x5 before = IdentityKernel();
  kernel = before;
  EXPECT_EQ(ReadKernel("c:\\filters\\edge.bin", bytes, kernel), KernelRead::NotKernel);
  EXPECT_EQ(kernel, before);
  EXPECT_EQ(ReadKernel("edge.acf", bytes + '\n', kernel), KernelRead::NotKernel);
  EXPECT_EQ(kernel, before);
}
