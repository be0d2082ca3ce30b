// Fuzz target: a picture container on arbitrary bytes, written into picture files and embedded
// in RTF.
//
// Property checked besides memory safety: the name the container walk returns is a file it
// wrote (an in-memory folder never fails to create one).
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "graphics/picture_container.h"
#include "graphics/pictures.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace quorvex;
  static NullDiagnostics diagnostics;
  std::unique_ptr<OutputDir> output = OutputDir::InMemory();
  ConversionSession session(diagnostics, *output);
  HelpFile hf;
  hf.session = &session;
  // The last byte picks the options (the first is the container's magic): NoShg, and
  // embedding in printing mode.
  const uint8_t pick = size > 0 ? data[size - 1] : 0;
  hf.options = (pick & 1 ? kNoShg : 0) | (pick & 2 ? kBmpInRtf | kForPrint : 0);
  const ExtractedPicture picture = ExtractPictureContainer(hf, Bytes(data, size), "bm1", *output);
  if (!output->Read(picture.name)) std::abort();
  std::unique_ptr<OutputSink> rtf = OutputSink::Null();
  WriteRtfPicture(hf, *rtf, picture, 'c', false);
  return 0;
}
