// The test programs' entry: COM and OLE are initialised on the main thread first, as in any
// host application, because the shell's new-style folder browser needs them.
#include <windows.h>
#include <ole2.h>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
  const HRESULT ole = OleInitialize(nullptr);
  ::testing::InitGoogleTest(&argc, argv);
  const int result = RUN_ALL_TESTS();
  if (SUCCEEDED(ole)) OleUninitialize();
  return result;
}
