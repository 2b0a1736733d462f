#pragma once
// Every caption, label and message the crash reporter shows or writes, by index.

#include <array>
#include <string>

namespace crashreport {

inline constexpr int kCustomTextCount = 71;

enum TextId : int {
    txtInformation, txtQuestion, txtError, txtErrorMessage,
    txtGeneral, txtGeneralInformation, txtCallStack, txtCallStackInformation,
    txtModules, txtModulesInformation, txtCPU, txtCPUInformation,
    txtOK, txtTerminate, txtRestart, txtDetails,
    txtSendEmail, txtAttachScreenshot, txtCopyToClipboard,
    txtApplication, txtStartDate, txtNameDescription, txtVersionNumber, txtParameters,
    txtException, txtDate, txtAddress, txtModule, txtType, txtMessage,
    txtActiveControls, txtFormClass, txtFormText, txtControlClass, txtControlText,
    txtComputer, txtName, txtUser, txtTotalMemory, txtFreeMemory, txtTotalDisk, txtFreeDisk,
    txtOperatingSystem, txtOSType, txtBuild, txtUpdate, txtLanguage,
    txtColAddress, txtColModule, txtColUnit, txtColClass, txtColProcedure, txtColLine,
    txtSMTPTitle, txtSMTPMessage, txtResolvingMX, txtConnectingSMTP, txtConnectedSMTP, txtSendingMessage,
    txtRequest, txtDescribeSteps, txtRequestOK,
    txtColHandle, txtColName, txtColDescription, txtColVersion, txtColSize, txtColPath,
    txtRegisters, txtStack, txtMemoryDump,
};
static_assert(txtMemoryDump == kCustomTextCount - 1);

using TCustomTexts = std::array<std::string, kCustomTextCount>;

const TCustomTexts& defaultCustomTexts();

}  // namespace crashreport
