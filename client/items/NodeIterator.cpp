#include "NodeIterator.h"

#include "AttributeValues.h"
#include "common/Xml.h"
#include "core/EnvironmentFacts.h"
#include "core/Log.h"

namespace {

bool g_hasOverride = false;
uint32_t g_overrideCode = 0;

} // namespace

NodeIterator::NodeIterator(IXMLDOMNode* parent, const std::wstring& childName)
    : children_(Common::SelectNodes(parent, childName)), osCode_(FilterOsCode())
{
}

bool NodeIterator::Next()
{
    attributes_.clear();
    current_.Reset();
    if (!children_)
        return false;
    for (;;) {
        Common::ComPtr<IXMLDOMNode> child;
        if (children_->nextNode(child.Address()) != S_OK || !child)
            return false;
        current_ = std::move(child);
        ReadAttributes();
        if (Targets(Attribute(L"OS"), osCode_))
            return true;
        g_log.Item(L"Item skipped. Not targeted for this OS", Attribute(L"Name"));
        attributes_.clear();
        current_.Reset();
    }
}

std::wstring NodeIterator::Attribute(const std::wstring& name) const
{
    const auto found = attributes_.find(name);
    return found != attributes_.end() ? found->second : std::wstring();
}

IXMLDOMNode* NodeIterator::Current() const
{
    return current_.Get();
}

void NodeIterator::ReadAttributes()
{
    Common::ComPtr<IXMLDOMNamedNodeMap> map;
    if (current_->get_attributes(map.Address()) != S_OK || !map)
        return;
    long count = 0;
    if (FAILED(map->get_length(&count)))
        return;
    for (long index = 0; index < count; ++index) {
        Common::ComPtr<IXMLDOMNode> attribute;
        if (map->get_item(index, attribute.Address()) != S_OK || !attribute)
            continue;
        Common::UniqueBstr name;
        if (FAILED(attribute->get_nodeName(name.Address())))
            continue;
        attributes_[name.Text()] = Common::NodeText(attribute.Get());
    }
}

bool NodeIterator::Targets(const std::wstring& osAttribute, uint32_t osCode)
{
    if (osAttribute.empty())
        return true;
    return (static_cast<uint32_t>(DecimalValue(osAttribute)) & osCode) != 0;
}

uint32_t NodeIterator::FilterOsCode()
{
    return g_hasOverride ? g_overrideCode : g_environmentFacts.OsCode();
}

ScopedFilterOsCode::ScopedFilterOsCode(uint32_t code) : hadOverride_(g_hasOverride), previous_(g_overrideCode)
{
    g_hasOverride = true;
    g_overrideCode = code;
}

ScopedFilterOsCode::~ScopedFilterOsCode()
{
    g_hasOverride = hadOverride_;
    g_overrideCode = previous_;
}
