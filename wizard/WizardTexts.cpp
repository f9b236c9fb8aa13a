#include "wizard/WizardTexts.h"

#include "settings/Language.h"
#include "settings/ProductSettings.h"
#include "wizard/DestinationFolder.h"

namespace vo {

WizardTexts MakeWizardTexts(int uiLanguage) {
  WizardTexts t;
  if (uiLanguage == kUiChinese) {
    t.BackCaption = u"上一步";
    t.NextCaption = u"下一步";
    t.CancelCaption = u"取 消";
    t.AgreeCaption = u"我同意";
    t.FinishCaption = u"完 成";
    t.InstallCaption = u"安 装";
    t.FolderCreateErrorText = u"无法创建目标文件夹，请重新指定文件夹路径。";
    t.ExtractErrorText =
        u"提取文件到目标文件夹时发生错误。\n\n"
        u"您是否正在运行这个软件的旧版本？如果是，请先关闭它，然后再次点击“安装”。";
    t.DamagedInstallerText = u"安装程序已损坏，请重新下载。";
    t.BrowsePromptText = u"选择或新建文件夹：";
    t.SpaceAvailableText = u"剩余空间: ";
    t.UpdateNoticeText = u"此文件夹中已安装版本 %1，将更新为版本 %2。";
    t.SameNoticeText = u"此文件夹中已安装相同的版本 %1，将重新安装。";
    t.OlderNoticeText = u"此文件夹中已安装较新的版本 %1，将被旧版本 %2 替换。";
    t.OtherNoticeText = u"此文件夹中已安装另一版本 (%1)，将被版本 %2 替换。";
  } else {
    t.BackCaption = u"< &Back";
    t.NextCaption = u"&Next >";
    t.CancelCaption = u"Cancel";
    t.AgreeCaption = u"I &Agree";
    t.FinishCaption = u"&Finish";
    t.InstallCaption = u"&Install";
    t.FolderCreateErrorText = u"Destination folder can't be created, need to select another folder.";
    t.ExtractErrorText =
        u"An error occurred extracting files to the destination folder.\n\n"
        u"Whether you're running an older version of this software? If yes, please close it and then click Install.";
    t.DamagedInstallerText = u"The installer is damaged. Please download it again.";
    t.BrowsePromptText = u"Select or create a new folder:";
    t.SpaceAvailableText = u"Space available: ";
    t.UpdateNoticeText = u"Version %1 is installed in this folder and will be updated to %2.";
    t.SameNoticeText = u"The same version, %1, is installed in this folder and will be replaced.";
    t.OlderNoticeText = u"The newer version %1 is installed in this folder and will be replaced by the older %2.";
    t.OtherNoticeText = u"Another version (%1) is installed in this folder and will be replaced by %2.";
  }
  return t;
}

std::u16string NotEnoughSpaceText(int uiLanguage, const std::u16string& needed, const std::u16string& available) {
  if (uiLanguage == 0) {
    return u"目标磁盘空间不足：需要 " + needed + u"，可用 " + available + u"。\n\n请释放磁盘空间或选择其他文件夹，然后再次点击“安装”。";
  }
  return u"There is not enough free space on the destination drive: " + needed + u" needed, " + available +
         u" available.\n\nFree some space or choose another folder, then click Install again.";
}

std::u16string InstalledVersionNotice(const WizardTexts& texts, const std::u16string& installedVersion,
                                      const std::u16string& ourVersion) {
  const std::u16string* format = &texts.OtherNoticeText;
  switch (CompareVersions(installedVersion, ourVersion)) {
    case VersionRelation::Older: format = &texts.UpdateNoticeText; break;
    case VersionRelation::Same: format = &texts.SameNoticeText; break;
    case VersionRelation::Newer: format = &texts.OlderNoticeText; break;
    case VersionRelation::Other: break;
  }
  // One pass, so a version that itself holds "%2" is not replaced again.
  std::u16string text;
  for (size_t i = 0; i < format->size(); ++i) {
    if ((*format)[i] == u'%' && i + 1 < format->size() && ((*format)[i + 1] == u'1' || (*format)[i + 1] == u'2')) {
      text += (*format)[i + 1] == u'1' ? installedVersion : ourVersion;
      ++i;
    } else {
      text += (*format)[i];
    }
  }
  return text;
}

PageTexts MakePageTexts(int uiLanguage, const PageTextInputs& in) {
  const std::u16string& name = in.ProductName;
  const std::u16string& version = in.ProductVersion;
  PageTexts t;
  if (uiLanguage == kUiChinese) {
    t.WindowTitle = u"安装向导 - " + name;
    t.Welcome = u"欢迎使用 " + name + u" V" + version + u" 安装\n向导";
    t.WillInstall = u"此向导将引导您完成安装过程。\n\n单击 [下一步] 继续，单击 [取消] 退出安装。";
    t.License = u"在安装之前，请阅读许可协议";
    t.Agreement = u"如果您接受协议中的条款，请单击 [我同意] 继续安装。";
    t.Folder = u"选择安装位置并设置选项";
    t.SetupFolder = u"安装程序将安装“" + name + u" V" + version +
                    u"”到下列文件夹中。\n\n如需安装到其它的文件夹，请直接修改或单击 [浏览] 选择另一个文件夹。";
    t.FolderGroup = u"目标文件夹";
    t.Browse = u"浏览(&S)...";
    t.NeedSize = u"所需空间: " + in.RequiredSpaceText;
    t.DesktopShortcut = u"创建桌面快捷方式";
    t.QuickLaunch = u"创建快速启动栏快捷方式";
    t.Complete = name + u" V" + version + u" 安装成功。";
    t.RunOnExit = u"立即运行软件";
  } else {
    t.WindowTitle = u"Setup - " + name;
    t.Welcome = u"Welcome to the " + name + u" " + version + u" Setup Wizard";
    t.WillInstall = u"This will install " + name + u" " + version +
                    u" on your computer.\n\nClick Next to continue, or Cancel to exit Setup.";
    t.License = u"License Agreement";
    t.LicenseTip = u"Please read the following important information before continuing.";
    t.Agreement = u"If you accept the terms of the agreement, click I Agree to continue. "
                  u"You must accept the agreement to install " + name + u".";
    t.Folder = u"Select Destination Location";
    t.FolderTip = u"Where should " + name + u" be installed?";
    t.SetupFolder = u"Setup will install " + name + u" " + version +
                    u" into the following folder.\n\nTo continue, click Next. "
                    u"If you would like to select a different folder, click Browse.";
    t.FolderGroup = u"Destination Folder";
    t.Browse = u"&Browse...";
    t.NeedSize = u"Space required: " + in.RequiredSpaceText;
    t.DesktopShortcut = u"Create a desktop icon";
    t.QuickLaunch = u"Create a Quick Launch icon";
    t.Complete = u"Completing the " + name + u" Setup Wizard";
    t.Close = u"Setup has finished installing " + name + u" " + version +
              u" on your computer.\n\nClick Finish to close this wizard.";
    t.RunOnExit = u"Launch " + name;
  }
  return t;
}

namespace {

std::vector<std::u16string> ChineseAgreement(const std::u16string& name, bool isFreeware) {
  std::vector<std::u16string> lines = {
      name + u" 用户许可协议",
      u"",
      u"请仔细阅读和理解本用户许可协议中规定的所有权利和限制。在安装时，您需要决定接受或不接受本《协议》的条款。"
      u"如果接受，您可以继续安装，否则应该取消安装。",
      u"",
      u"1. " + name +
          u"（以下简称“本软件”）软件知识产权属软件作者所有，并且受著作权法、国际著作权条约和其它知识产权法及条约的保护。",
      u"",
      u"2. 您不得对本软件进行反向工程、反向编译或反汇编，不得对本软件包含的文件及程序作任何修改，破坏软件的完整性。",
      u"",
      isFreeware ? u"3. 本软件是免费软件，您可以免费使用，自由复制或传播本软件。"
                   u"但未经本软件作者允许，不得将本软件产品以任何形式用于任何商业目的。"
                 : u"3. 您可以自由复制或传播本软件。但未经本软件作者允许，不得将本软件产品以任何形式用于任何商业目的。",
      u"",
      u"4. 本软件保证不含有任何恶意或病毒程序，保证软件本身不会对用户的电脑造成损害，"
      u"但由于用户的误操作导致的任何不良后果，用户须自己承担风险。"
      u"如果用户使用本软件产品用于任何非法目的，用户必须独立承担由此带来的法律责任。"
      u"同时用户必须遵守所有软件产品使用之相关法律。",
      u"",
  };
  const std::u16string lastClause =
      u"若您未能遵守本《协议》之条款，则本软件作者在不妨碍其他权力之情况下，"
      u"有权采取包括追究法律责任在内的相应措施并终止本《用户许可协议》。";
  if (isFreeware) {
    lines.push_back(u"5. " + lastClause);
  } else {
    lines.push_back(
        u"5. 本软件是共享软件，您可以免费试用三十天。试用期满后如需继续使用，请向本软件作者购买注册码；"
        u"未购买注册码的，应将本软件从您的电脑中删除。注册码仅供购买者本人使用，"
        u"不得出售、出租、转让或公开发布。");
    lines.push_back(u"");
    lines.push_back(u"6. " + lastClause);
  }
  lines.push_back(u"");
  lines.push_back(u"");
  lines.push_back(u"版权所有 (C) 2009-2012 柯雯纳软件 (Corvenna Soft)。保留所有权利。");
  return lines;
}

std::vector<std::u16string> EnglishAgreement(const std::u16string& name, bool isFreeware) {
  std::vector<std::u16string> lines = {
      u"End User License Agreement",
      u"",
      u"Please read the following terms and conditions carefully before using " + name +
          u". Use of this software indicates you accept the terms of this license agreement and warranty.",
      u"",
      u"1. Disclaimer of Warranty",
      u"",
      name + u" (this software) is provided \"as-is\" and without warranty of any kind, express, implied or "
             u"otherwise, including without limitation, any warranty of merchantability or fitness for a "
             u"particular purpose.",
      u"",
      u"In no event shall the author of this software be held liable for data loss, damages, loss of profits or "
      u"any other kind of loss while using or misusing this software.",
      u"",
      u"2. License",
      u"",
  };
  if (isFreeware) {
    lines.push_back(u"This software is freeware, you can unrestricted use of it.");
    lines.push_back(u"");
    lines.push_back(
        u"But without the permission from the author of this software, this software may not be used for any "
        u"commercial purposes, in any form.");
  } else {
    lines.push_back(
        u"This software is shareware. You may try it free of charge for a period of 30 days. After the trial "
        u"period you must either buy a license or remove this software from your computer.");
    lines.push_back(u"");
    lines.push_back(
        u"A bought license entitles one person to use this software on the computers he or she uses. The "
        u"license and its registration code may not be sold, rented, shared, transferred or published.");
  }
  const std::u16string tail[] = {
      u"",
      u"3. Restrictions on Use",
      u"",
      u"This software must not be decompiled, disassembled, reverse engineered or otherwise modified.",
      u"",
      u"",
      u"Copyright (C) 2009-2012 Corvenna Soft. All rights reserved.",
  };
  lines.insert(lines.end(), std::begin(tail), std::end(tail));
  return lines;
}

}  // namespace

std::vector<std::u16string> LicenseTextLines(const std::u16string& text) {
  std::vector<std::u16string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find(u'\n', start);
    if (end == std::u16string::npos) end = text.size();
    std::u16string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == u'\r') line.pop_back();
    lines.push_back(std::move(line));
    start = end + 1;
  }
  return lines;
}

std::vector<std::u16string> LicenseAgreementLines(int uiLanguage, const std::u16string& productName,
                                                   bool isFreeware, const std::u16string& publisher) {
  std::vector<std::u16string> lines = uiLanguage == kUiChinese ? ChineseAgreement(productName, isFreeware)
                                                               : EnglishAgreement(productName, isFreeware);
  if (!publisher.empty() && publisher != DefaultPublisher(uiLanguage)) {
    lines.back() = uiLanguage == kUiChinese ? u"版权所有 (C) " + publisher + u"。保留所有权利。"
                                            : u"Copyright (C) " + publisher + u". All rights reserved.";
  }
  return lines;
}

}  // namespace vo
