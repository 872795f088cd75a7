#pragma once
// XML documents declared in a legacy encoding (windows-1252, GBK, GB2312, Big5,
// Shift_JIS, KOI8-R, ...), decoded with the C library's iconv through expat's hook for
// encodings it does not know itself. Single- and double-byte encodings whose ASCII range
// is plain ASCII are read; others (EBCDIC, the stateful ISO-2022 family) stay unknown,
// and the document is malformed.
#include <expat.h>

namespace vexmar::workbook {

// The expat unknown-encoding handler; `data` is unused.
int XMLCALL LegacyEncodingHandler(void* data, const XML_Char* name, XML_Encoding* info);

}  // namespace vexmar::workbook
