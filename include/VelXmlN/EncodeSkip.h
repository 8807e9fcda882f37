#ifndef VELXMLN_ENCODESKIP_H
#define VELXMLN_ENCODESKIP_H

namespace VelXmlN {

/// Which characters the writer leaves unescaped in the texts of elements below the root. The
/// values 1, 2 and 4 combine as bits (7 leaves all three unescaped). 0, the default, writes every
/// text with all escapes through the node library's own text nodes; any other value writes the
/// texts below the root through XmlTextNode, which leaves the characters of the included bits as
/// they are, so that a text already holding references such as "&amp;" can pass through
/// unchanged. Names, attribute values and the root element's own texts are always escaped.
enum EncodeSkip : int {
    EncodeSkipNone = 0,
    EncodeSkipAmpersand = 1,
    EncodeSkipApostrophe = 2,
    EncodeSkipQuote = 4
};

}  // namespace VelXmlN

#endif
