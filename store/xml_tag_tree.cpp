// The dictionary loader's tag tree; see xml_tag_tree.h for the contract.
#include "store/xml_tag_tree.h"

#include <libxml/xmlreader.h>
#include <stdlib.h>

#include "logging/log.h"
#include "util/strings.h"

namespace {

// The only attributes any dictionary element carries, in the order they are read.
constexpr const char *kAttributeNames[] = {"name", "system", "reference-table-name",
                                           "isbidirectional"};

void FreeTexts(char **texts, int count) {
    if (texts == nullptr) return;
    for (int i = 0; i < count; ++i) free(texts[i]);
    free(texts);
}

// Siblings are walked iteratively: a long column list must not deepen the recursion.
void FreeTree(XmlTagInfo *node) {
    while (node != nullptr) {
        XmlTagInfo *next = node->nextSibling;
        FreeTree(node->firstChild);
        free(node->tagName);
        FreeTexts(node->attributeNames, node->attributeCount);
        FreeTexts(node->attributeValues, node->attributeCount);
        FreeTexts(node->textValues, node->textValueCount);
        free(node);
        node = next;
    }
}

}  // namespace

extern "C" {

XmlTagInfo *CreateandInitXmlTagInfo(void) {
    LogTrace("@@@ Inside CreateandInitXmlTagInfo @@@\n");
    return static_cast<XmlTagInfo *>(calloc(1, sizeof(XmlTagInfo)));
}

int FreeXmlTagInfoList(XmlTagInfo *node) {
    LogTrace("@@@ Inside FreeXmlTagInfoList @@@\n");
    if (node == nullptr) return 0;
    FreeTree(node);
    return 1;
}

int AllocateAndStrcpyAttrib(struct _xmlTextReader *reader, XmlTagInfo *node) {
    LogTrace("@@@ Inside AllocateAndStrcpyAttrib @@@\n");
    if (reader == nullptr || node == nullptr) return 0;
    int available = xmlTextReaderAttributeCount(reader);
    if (available <= 0) return 1;
    const int slots = int(sizeof kAttributeNames / sizeof kAttributeNames[0]);
    node->attributeNames = static_cast<char **>(calloc(size_t(slots), sizeof(char *)));
    node->attributeValues = static_cast<char **>(calloc(size_t(slots), sizeof(char *)));
    if (node->attributeNames == nullptr || node->attributeValues == nullptr) return 99;
    for (const char *name : kAttributeNames) {
        xmlChar *value = xmlTextReaderGetAttribute(reader, BAD_CAST name);
        if (value == nullptr) continue;
        int index = node->attributeCount;
        int copiedName = AllocCopyString(&node->attributeNames[index], name);
        int copiedValue =
            AllocCopyString(&node->attributeValues[index], reinterpret_cast<char *>(value));
        xmlFree(value);
        // Counted even when half copied, so that the free releases whichever copy exists.
        node->attributeCount = index + 1;
        if (copiedName != 1 || copiedValue != 1) return 99;
    }
    if (node->attributeCount < available) LogError("\n Not all Attributes were read\n");
    return 1;
}

int AppendXmlTagText(XmlTagInfo *node, const char *text) {
    if (node == nullptr) return 0;
    char **grown = static_cast<char **>(
        realloc(node->textValues, sizeof(char *) * size_t(node->textValueCount + 1)));
    if (grown == nullptr) return 99;
    node->textValues = grown;
    if (AllocCopyString(&grown[node->textValueCount], text != nullptr ? text : "") != 1) return 99;
    ++node->textValueCount;
    return 1;
}

const char *GetXmlTagAttribute(const XmlTagInfo *node, const char *name) {
    if (node == nullptr || name == nullptr) return nullptr;
    for (int i = 0; i < node->attributeCount; ++i) {
        if (StrCompare(node->attributeNames[i], name) == 0) return node->attributeValues[i];
    }
    return nullptr;
}

const char *GetXmlTagText(const XmlTagInfo *node) {
    return node != nullptr && node->textValueCount > 0 ? node->textValues[0] : nullptr;
}

int IsXmlTag(const XmlTagInfo *node, const char *name) {
    return node != nullptr && StrCompareNoCase(node->tagName, name) == 0 ? 1 : 0;
}

}  // extern "C"
