// One decoder's whole work: the file the viewer hands over, its facts, then its pixels at each
// size asked, as Protocol.h says.
#pragma once

namespace pictures::metafile {
class CodePages;
}

namespace decoder {

// Serves one file on `socket`; returns when the viewer closes its end or breaks the protocol.
void Serve(int socket, const pictures::metafile::CodePages& codePages);

} // namespace decoder
