#include "zeltor/Write.h"

namespace zeltor {

Step WriteAndCheck(File& rom, std::uint64_t offset, const std::vector<std::uint8_t>& bytes,
                   std::vector<std::uint8_t>& back) {
    if (!rom.Write(offset, bytes.data(), bytes.size()) || !rom.Flush()) {
        return Step::WriteFailed;
    }
    if (!rom.Read(offset, back.data(), back.size())) {
        return Step::ReadFailed;
    }
    return back == bytes ? Step::Done : Step::Differs;
}

} // namespace zeltor
