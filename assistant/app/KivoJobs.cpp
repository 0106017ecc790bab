// The check jobs: each result pair in the order the pages expect, with the log lines of
// the full check.
#include "KivoDispatcher.h"

namespace
{
std::u16string AccountText(int nUserType)
{
    switch (nUserType)
    {
    case 0:
    case 1:
        return u"Administrator";
    case 2:
        return u"User";
    default:
        return u"Guest";
    }
}

const char16_t* TokenCertCode(int nState)
{
    switch (nState)
    {
    case 0:
        return u"UKEY_WQ2372";
    case 1:
        return u"UKEY_WQ2376";
    case 2:
        return u"UKEY_WQ2373";
    case 3:
        return u"UKEY_WQ2375";
    default:
        return u"UKEY_WQ2374";
    }
}

const char16_t* TokenCertLog(int nState)
{
    switch (nState)
    {
    case 0:
        return u"TavelinUSBKEY中证书状态正常";
    case 1:
        return u"TavelinUSBKEY中无证书";
    case 2:
        return u"TavelinUSBKEY中证书已过期";
    case 3:
        return u"TavelinUSBKEY中证书将在30天内过期";
    default:
        return u"TavelinUSBKEY中证书未生效";
    }
}

void LogText(IKivoJobHost* pDlg, const std::u16string& strText) { pDlg->Log().WriteLogText(strText); }

// Version line of the USB-key group, with its log text.
void SendMiddlewareVersion(IKivoJobHost* pDlg)
{
    if (pDlg->Checks().ReadMiddlewareVersion() == 1)
    {
        SendJobResult(pDlg, u"VERSION", u"95");
        LogText(pDlg, u"USBKEY驱动已经是最新版本!");
    }
    else
    {
        SendJobResult(pDlg, u"VERSION_OLD", u"95");
        LogText(pDlg, u"USBKEY驱动不是最新版本，建议进行修复!");
    }
}

bool MiddlewareComplete(IKivoChecks& checks)
{
    return checks.CheckMiddlewareComplete() == 1 && checks.CheckMiddlewareRunKey() == 1;
}
} // namespace

void RunUsbKeyJob(IKivoJobHost* pDlg)
{
    IKivoChecks& checks = pDlg->Checks();
    SendJobResult(pDlg, u"TITLE_UK", u"1");
    if (checks.IsMiddlewareInstalled() == 0)
    {
        SendJobResult(pDlg, u"UKEY_NO_DRIVER", u"50");
        SendJobResult(pDlg, u"UKEY_WQ2324", u"100");
    }
    else
    {
        SendMiddlewareVersion(pDlg);
        if (MiddlewareComplete(checks))
        {
            SendJobResult(pDlg, u"UKEY_WQ2322", u"25");
            auto tokenTurn = checks.LockTokenChecks();
            int nTokens = checks.EnumTokenSlots();
            if (nTokens <= 0)
                SendJobResult(pDlg, u"UKEY_NO_KEY", u"50");
            else
            {
                SendJobResult(pDlg, u"UKEY_WQ2301", u"50");
                if (nTokens != 1)
                    SendJobResult(pDlg, u"UKEY_WQ2377", u"75");
                SendJobResult(pDlg, TokenCertCode(checks.GetTokenCertState()), u"100");
            }
        }
        else
        {
            SendJobResult(pDlg, u"UKEY_WQ2321", u"50");
            SendJobResult(pDlg, u"UKEY_WQ2324", u"100");
        }
    }
    SendJobResult(pDlg, u"TITLE_UK", u"0");
}

void RunControlJob(IKivoJobHost* pDlg)
{
    IKivoChecks& checks = pDlg->Checks();
    SendJobResult(pDlg, u"TITLE_CT", u"10");
    static const char16_t* const kSignCodes[] = {u"CONTROL0", u"CONTROL3", u"CONTROL2"};
    int nSign = checks.CheckSignPlugin();
    SendJobResult(pDlg, kSignCodes[nSign == 0 ? 0 : nSign == 1 ? 1 : 2], u"50");
    SendJobResult(pDlg, checks.CheckEnrollPluginFiles() == 0 ? u"SI0" : u"SI2", u"100");
    SendJobResult(pDlg, u"TITLE_CT", u"0");
}

void RunSystemJob(IKivoJobHost* pDlg)
{
    IKivoChecks& checks = pDlg->Checks();
    SendJobResult(pDlg, u"TITLE_WS", u"1");
    SendJobResult(pDlg, u"OS0",
                  u"操作系统版本：" + checks.GetOSInfoText() + u";" + u"用户：" + AccountText(checks.GetUserType()) +
                      u";" + u"IE版本：" + checks.GetIEVersionText());
    SendJobResult(pDlg, checks.CheckNetwork() == 1 ? u"WEB0" : u"WEB1", u"30");
    SendJobResult(pDlg, u"TITLE_IE", u"45");
    SendJobResult(pDlg, checks.CheckTrustedSites() == 1 ? u"SITE0" : u"SITE10", u"60");
    SendJobResult(pDlg, checks.CheckTrustedZoneRows() == 1 ? u"IELEVEL2" : u"IELEVEL0", u"75");
    SendJobResult(pDlg, u"TITLE_RC", u"75");
    SendJobResult(pDlg, checks.CheckRootCerts() == 1 ? u"ROOTCERT0" : u"ROOTCERT1", u"90");
    SendJobResult(pDlg, u"TITLE_RC", u"0");
}

void RunFullCheckJob(IKivoJobHost* pDlg)
{
    IKivoChecks& checks = pDlg->Checks();
    LogText(pDlg, FormatNowTime() + u"   全面检测开始");

    SendJobResult(pDlg, u"TITLE_WS", u"10");
    SendJobResult(pDlg, u"OS0", checks.GetOSInfoText());
    SendJobResult(pDlg, u"ADMIN0", AccountText(checks.GetUserType()));
    std::u16string strIE = checks.GetIEVersionText();
    SendJobResult(pDlg, u"IE0", strIE);
    LogText(pDlg, strIE);

    if (checks.CheckNetwork() == 1)
    {
        SendJobResult(pDlg, u"WEB0", u"40");
        LogText(pDlg, u"网络状态正常");
    }
    else
    {
        SendJobResult(pDlg, u"WEB1", u"40");
        LogText(pDlg, u"网络状态异常");
    }

    SendJobResult(pDlg, u"TITLE_IE", u"55");
    if (checks.CheckTrustedSites() == 1)
    {
        SendJobResult(pDlg, u"SITE0", u"60");
        LogText(pDlg, u"您已将Quill机构相关网址加入了可信任站点");
    }
    else
    {
        SendJobResult(pDlg, u"SITE10", u"60");
        LogText(pDlg, u"Quill机构相关网址没有加入可信任站点");
    }
    if (checks.CheckTrustedZoneRows() == 1)
    {
        SendJobResult(pDlg, u"IELEVEL2", u"60");
        LogText(pDlg, u"IE安全设置正确");
    }
    else
    {
        SendJobResult(pDlg, u"IELEVEL0", u"60");
        LogText(pDlg, u"IE安全设置不正确");
    }

    SendJobResult(pDlg, u"TITLE_RC", u"65");
    SendJobResult(pDlg, checks.CheckRootCerts() == 1 ? u"ROOTCERT0" : u"ROOTCERT1", u"90");

    SendJobResult(pDlg, u"TITLE_CT", u"75");
    switch (checks.CheckSignPlugin())
    {
    case 0:
        SendJobResult(pDlg, u"CONTROL0", u"80");
        LogText(pDlg, u"签名控件已安装");
        break;
    case 1:
        SendJobResult(pDlg, u"CONTROL3", u"80");
        LogText(pDlg, u"签名控件未注册");
        break;
    default:
        SendJobResult(pDlg, u"CONTROL2", u"80");
        LogText(pDlg, u"签名控件未安装");
        break;
    }
    if (checks.CheckKeyControl() == 1)
    {
        SendJobResult(pDlg, u"SIGN0", u"80");
        LogText(pDlg, u"Quill机构获取序列号控件已安装");
    }
    else
    {
        SendJobResult(pDlg, u"SIGN2", u"80");
        LogText(pDlg, u"Quill机构获取序列号控件未安装");
    }
    LogText(pDlg, u"开始检测Quill机构下载证书控件");
    switch (checks.CheckEnrollPlugin())
    {
    case 0:
        SendJobResult(pDlg, u"PRT0", u"80");
        LogText(pDlg, u"Quill机构下载证书控件已安装");
        break;
    case 1:
        SendJobResult(pDlg, u"PRT3", u"80");
        LogText(pDlg, u"Quill机构下载证书控件未注册");
        break;
    default:
        SendJobResult(pDlg, u"PRT2", u"80");
        LogText(pDlg, u"Quill机构下载证书控件文件不存在");
        break;
    }

    SendJobResult(pDlg, u"TITLE_UK", u"95");
    if (checks.IsMiddlewareInstalled() == 0)
    {
        SendJobResult(pDlg, u"UKEY_NO_DRIVER", u"90");
        LogText(pDlg, u"系统没有检测到USBKEY驱动");
        SendJobResult(pDlg, u"UKEY_WQ2324", u"100");
    }
    else
    {
        SendMiddlewareVersion(pDlg);
        if (MiddlewareComplete(checks))
        {
            SendJobResult(pDlg, u"UKEY_WQ2322", u"95");
            LogText(pDlg, u"USBKEY驱动安装完整");
            auto tokenTurn = checks.LockTokenChecks();
            int nTokens = checks.EnumTokenSlots();
            if (nTokens <= 0)
            {
                SendJobResult(pDlg, u"UKEY_NO_KEY", u"95");
                LogText(pDlg, u"系统没有检测到TavelinUSBKEY");
            }
            else
            {
                SendJobResult(pDlg, u"UKEY_WQ2301", u"95");
                LogText(pDlg, u"系统检测到TavelinUSBKEY与电脑连接");
                if (nTokens != 1)
                {
                    SendJobResult(pDlg, u"UKEY_WQ2377", u"95");
                    LogText(pDlg, u"有多支TavelinUSBKEY与电脑连接");
                }
                int nState = checks.GetTokenCertState();
                SendJobResult(pDlg, TokenCertCode(nState), u"100");
                LogText(pDlg, TokenCertLog(nState));
            }
        }
        else
        {
            SendJobResult(pDlg, u"UKEY_WQ2321", u"90");
            LogText(pDlg, u"USBKEY驱动安装不完整");
            SendJobResult(pDlg, u"UKEY_WQ2324", u"100");
        }
    }

    SendJobResult(pDlg, u"TITLE_IE", u"0");
    LogText(pDlg, FormatNowTime() + u"   全面检测结束");
}
