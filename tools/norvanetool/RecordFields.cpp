#include "RecordFields.h"

namespace NorvaneTool {

const std::vector<TopLevelField>& TopLevelFields()
{
    static const std::vector<TopLevelField> fields = {
        IntegerField<&ConfigRecord::backupListed>(L"backupListed"),
        TextField<&ConfigRecord::mainApplication>(L"mainApplication"),
        TextField<&ConfigRecord::applicationName>(L"applicationName"),
        TextField<&ConfigRecord::bannerLinkUrl>(L"bannerLinkUrl"),
        TextField<&ConfigRecord::companyName>(L"companyName"),
        TextField<&ConfigRecord::companyEmail>(L"companyEmail"),
        TextField<&ConfigRecord::checkNowWord>(L"checkNowWord"),
        TextField<&ConfigRecord::checkBackgroundWord>(L"checkBackgroundWord"),
        TextField<&ConfigRecord::securityCode>(L"securityCode"),
        TextField<&ConfigRecord::inbuiltVersion>(L"inbuiltVersion"),
        TextField<&ConfigRecord::logFileName>(L"logFileName"),
        TextField<&ConfigRecord::statusFileName>(L"statusFileName"),
        IntegerField<&ConfigRecord::loggingEnabled>(L"loggingEnabled"),
        IntegerField<&ConfigRecord::confirmCancel>(L"confirmCancel"),
        IntegerField<&ConfigRecord::checkFrequency>(L"checkFrequency"),
        IntegerField<&ConfigRecord::noRepromptDeclined>(L"noRepromptDeclined"),
        IntegerField<&ConfigRecord::launchAfterCheck>(L"launchAfterCheck"),
        IntegerField<&ConfigRecord::stayOnTop>(L"stayOnTop"),
        IntegerField<&ConfigRecord::deploymentNumber>(L"deploymentNumber"),
    };
    return fields;
}

const std::vector<ServerField>& ServerFields()
{
    static const std::vector<ServerField> fields = {
        TextField<&ServerBlock::protocol>(L"protocol"),
        TextField<&ServerBlock::hostPath>(L"hostPath"),
        TextField<&ServerBlock::port>(L"port"),
        TextField<&ServerBlock::userName>(L"userName"),
        TextField<&ServerBlock::password>(L"password"),
        IntegerField<&ServerBlock::passiveFtp>(L"passiveFtp"),
        TextField<&ServerBlock::filesProtocol>(L"filesProtocol"),
        TextField<&ServerBlock::filesHostPath>(L"filesHostPath"),
        TextField<&ServerBlock::filesPort>(L"filesPort"),
        TextField<&ServerBlock::filesUserName>(L"filesUserName"),
        TextField<&ServerBlock::filesPassword>(L"filesPassword"),
        IntegerField<&ServerBlock::filesPassiveFtp>(L"filesPassiveFtp"),
        IntegerField<&ServerBlock::hasFilesLocation>(L"hasFilesLocation"),
    };
    return fields;
}

} // namespace NorvaneTool
