#ifndef VELXMLN_VELXMLN_H
#define VELXMLN_VELXMLN_H

/* Every public C++ type of the library: the element records, the documents and their readers and
   writers, the access helpers, paths, comparison and SAX scanners, and the types of the external
   components that appear in their interfaces. */

#include <VelXmlN/Export.h>
#include <VelXmlN/Version.h>

#include <VelXmlN/Nullable.h>
#include <VelXmlN/Range.h>
#include <VelXmlN/Tools.h>
#include <VelXmlN/VelXmlData.h>

#include <VelXmlN/CodePage.h>
#include <VelXmlN/kasxmln.h>

#include <VelXmlN/AttributeData.h>
#include <VelXmlN/Data.h>

#include <VelXmlN/AtomicFile.h>
#include <VelXmlN/EncodeSkip.h>
#include <VelXmlN/ExchangeXml.h>
#include <VelXmlN/Tree.h>
#include <VelXmlN/XmlNode.h>

#include <VelXmlN/Sax2Interface.h>
#include <VelXmlN/SaxInterface.h>

#include <VelXmlN/XPathNavigator.h>

#include <VelXmlN/AttributeIn.h>
#include <VelXmlN/AttributeOut.h>
#include <VelXmlN/ChildIn.h>
#include <VelXmlN/ChildOut.h>
#include <VelXmlN/DataUtil.h>

#include <VelXmlN/AttributeExistence.h>
#include <VelXmlN/Compare.h>
#include <VelXmlN/DifferentItem.h>
#include <VelXmlN/Ignore.h>

#endif
