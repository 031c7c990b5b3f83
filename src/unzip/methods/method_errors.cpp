#include "unzip/methods/method_errors.h"

#include "core/format.h"
#include "unzip/methods/method_strings.h"

namespace tarvo::unzip {

using core::LoadResString;

EVmLegacyDataError::EVmLegacyDataError(const std::string& cause)
    : EVmException(core::Format(LoadResString(SVmLegacyDataError), {cause})) {}

namespace {

std::string LzmaMessage(int result) {
  switch (result) {
    case 1: return LoadResString(SLzmaData);
    case 2: return LoadResString(SLzmaMemory);
    case 3: return LoadResString(SLzmaCRC);
    case 4: return LoadResString(SLzmaUnsupported);
    case 5: return LoadResString(SLzmaParameter);
    case 6: return LoadResString(SLzmaInputEOF);
    case 7: return LoadResString(SLzmaOutputEOF);
    case 8: return LoadResString(SLzmaRead);
    case 9: return LoadResString(SLzmaWrite);
    case 10: return LoadResString(SLzmaProgress);
    case 11: return LoadResString(SLzmaFail);
    case 12: return LoadResString(SLzmaThread);
    case 16: return LoadResString(SLzmaArchive);
    case 17: return LoadResString(SLzmaNoArchive);
    default: return core::Format(LoadResString(SLzmaUnknown), {std::to_string(result)});
  }
}

}  // namespace

EVmLZMAException::EVmLZMAException(int result) : EVmException(LzmaMessage(result), result) {}

EVmPPMdError EVmPPMdError::Unsupported(unsigned order, unsigned restoreMethod) {
  return EVmPPMdError(core::Format(LoadResString(SPpmdUnsupported), {std::to_string(order), std::to_string(restoreMethod)}),
                      4);
}

EVmPPMdError EVmPPMdError::OutOfMemory(std::uint32_t memoryMiB) {
  return EVmPPMdError(core::Format(LoadResString(SPpmdMemory), {std::to_string(memoryMiB)}), 2);
}

EVmWavPackError::EVmWavPackError(const std::string& libraryText)
    : EVmException(core::Format(LoadResString(SWavPackFailed), {libraryText.substr(0, 80)})) {}

}  // namespace tarvo::unzip
