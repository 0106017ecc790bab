// Shared script of the assistant's pages: the result table, the bridge to the host and the
// parts every detection page shares.
var errList = {
  "OS0": { errmsg: "OS info", fmt: "", status: "0", btv: "" },
  "ADMIN0": { errmsg: "ADMIN info", fmt: "", status: "0", btv: "" },
  "IE0": { errmsg: "IE info", fmt: "", status: "0", btv: "" },
  "CONTROL0": { errmsg: "签名控件已安装", fmt: "", status: "0", btv: "" },
  "CONTROL2": { errmsg: "尚未安装签名控件", fmt: "建议您立即安装签名控件，以便能正常使用Quillmark服务", status: "2", btv: "" },
  "CONTROL3": { errmsg: "尚未注册签名控件", fmt: "建议您一键修复，以便能正常使用Quillmark服务", status: "2", btv: "" },
  "CONTROL5": { errmsg: "签名控件修复成功", fmt: "", status: "0", btv: "" },
  "CONTROL6": { errmsg: "签名控件修复失败", fmt: "", status: "2", btv: "重新修复" },
  "CONTROLX640": { errmsg: "64位签名控件已安装", fmt: "", status: "0", btv: "" },
  "CONTROLX642": { errmsg: "尚未安装64位签名控件", fmt: "", status: "2", btv: "" },
  "CONTROLX643": { errmsg: "尚未注册64位签名控件", fmt: "", status: "2", btv: "" },
  "CONTROLX645": { errmsg: "64位签名控件修复成功", fmt: "", status: "0", btv: "" },
  "CONTROLX646": { errmsg: "64位签名控件修复失败", fmt: "", status: "2", btv: "" },
  "PRT0": { errmsg: "证书下载控件已安装", fmt: "", status: "0", btv: "" },
  "PRT2": { errmsg: "尚未安装证书下载控件", fmt: "建议您一键修复，以便能正常下载证书", status: "2", btv: "" },
  "PRT3": { errmsg: "尚未注册证书下载控件", fmt: "建议您一键修复，以便能正常下载证书", status: "2", btv: "" },
  "PRT5": { errmsg: "证书下载控件修复成功", fmt: "", status: "0", btv: "" },
  "PRT6": { errmsg: "证书下载控件修复失败", fmt: "", status: "2", btv: "" },
  "SI0": { errmsg: "签名控件已安装", fmt: "", status: "0", btv: "" },
  "SI2": { errmsg: "尚未安装签名控件", fmt: "", status: "2", btv: "" },
  "SI3": { errmsg: "尚未注册签名控件", fmt: "", status: "2", btv: "" },
  "SI5": { errmsg: "签名控件修复成功", fmt: "", status: "0", btv: "" },
  "SI6": { errmsg: "签名控件修复失败", fmt: "", status: "2", btv: "" },
  "PG0": { errmsg: "页面控件已安装", fmt: "", status: "0", btv: "" },
  "PG2": { errmsg: "尚未安装页面控件", fmt: "", status: "2", btv: "" },
  "PG3": { errmsg: "尚未注册页面控件", fmt: "", status: "2", btv: "" },
  "PG5": { errmsg: "页面控件修复成功", fmt: "", status: "0", btv: "" },
  "PG6": { errmsg: "页面控件修复失败", fmt: "", status: "2", btv: "" },
  "SIGN0": { errmsg: "获取序列号控件已安装", fmt: "", status: "0", btv: "" },
  "SIGN2": { errmsg: "尚未安装获取序列号控件", fmt: "", status: "2", btv: "" },
  "SIGN3": { errmsg: "尚未注册获取序列号控件", fmt: "", status: "2", btv: "" },
  "SIGN5": { errmsg: "获取序列号控件修复成功", fmt: "", status: "0", btv: "" },
  "SIGN6": { errmsg: "获取序列号控件修复失败", fmt: "", status: "2", btv: "" },
  "SITE0": { errmsg: "您已将相关网址加入了可信任站点", fmt: "", status: "0", btv: "" },
  "SITE10": { errmsg: "相关网址没有加入可信任站点", fmt: "建议您一键修复，将相关网址加入可信任站点", status: "2", btv: "" },
  "SITE20": { errmsg: "可信任站点修复成功", fmt: "", status: "0", btv: "" },
  "SITE30": { errmsg: "可信任站点修复失败", fmt: "", status: "2", btv: "" },
  "IELEVEL0": { errmsg: "浏览器安全设置不符合要求", fmt: "建议您一键修复浏览器安全设置", status: "2", btv: "" },
  "IELEVEL2": { errmsg: "浏览器安全设置符合要求", fmt: "", status: "0", btv: "" },
  "IELEVEL3": { errmsg: "浏览器安全设置修复成功", fmt: "", status: "0", btv: "" },
  "IELEVEL4": { errmsg: "浏览器安全设置修复失败", fmt: "", status: "2", btv: "" },
  "REPAIR0": { errmsg: "一键修复失败！请重新尝试修复操作，请关闭360安全卫士等常用安全软件之后，重新修复。", fmt: "", status: "2", btv: "" },
  "REPAIR1": { errmsg: "您已经放弃了修复操作", fmt: "", status: "1", btv: "" },
  "REPAIR2": { errmsg: "一键修复成功，可以正常使用Quillmark", fmt: "", status: "0", btv: "" },
  "REG0": { errmsg: "注册表设置正常", fmt: "", status: "0", btv: "" },
  "REG2": { errmsg: "注册表设置不正确", fmt: "", status: "2", btv: "" },
  "AUTORUN0": { errmsg: "自动运行设置正常", fmt: "", status: "0", btv: "" },
  "AUTORUN1": { errmsg: "自动运行未开启", fmt: "", status: "1", btv: "" },
  "AUTORUN2": { errmsg: "自动运行设置不正确", fmt: "", status: "2", btv: "" },
  "WEB0": { errmsg: "网络状态正常", fmt: "", status: "0", btv: "" },
  "WEB1": { errmsg: "网络状态异常", fmt: "网络不通，不能进行Quillmark交易", status: "2", btv: "" },
  "ROOTCERT0": { errmsg: "IE Brevan根证书已安装", fmt: "", status: "0", btv: "" },
  "ROOTCERT1": { errmsg: "尚未安装IE Brevan根证书", fmt: "建议您一键修复，安装根证书", status: "2", btv: "" },
  "ROOTCERT2": { errmsg: "IE Brevan根证书修复成功", fmt: "", status: "0", btv: "" },
  "ROOTCERT3": { errmsg: "IE Brevan根证书修复失败", fmt: "", status: "2", btv: "" },
  "AROOTCERT0": { errmsg: "Acrobat根证书已安装", fmt: "", status: "0", btv: "" },
  "AROOTCERT1": { errmsg: "尚未安装Acrobat根证书", fmt: "", status: "2", btv: "" },
  "AROOTCERT2": { errmsg: "Acrobat根证书修复成功", fmt: "", status: "0", btv: "" },
  "AROOTCERT3": { errmsg: "Acrobat根证书修复失败", fmt: "", status: "2", btv: "" },
  "UKEY_NO_KEY": { errmsg: "系统没有检测到USBKey", fmt: "", status: "1", btv: "" },
  "UKEY_NO_DRIVER": { errmsg: "系统没有检测到USBKey驱动", fmt: "建议您一键修复，安装USBKey驱动", status: "2", btv: "" },
  "UKEY_WQ2301": { errmsg: "系统检测到USBKey与电脑连接", fmt: "", status: "0", btv: "" },
  "UKEY_WQ2321": { errmsg: "USBKey驱动安装不完整", fmt: "建议您一键修复，重新安装USBKey驱动", status: "1", btv: "" },
  "UKEY_WQ2322": { errmsg: "USBKey驱动状态正常", fmt: "", status: "0", btv: "" },
  "UKEY_WQ2323": { errmsg: "USBKey驱动修复失败", fmt: "", status: "2", btv: "" },
  "UKEY_WQ2324": { errmsg: "因USBKey驱动问题，无法进行USBKey检测，请修复后重新执行检测", fmt: "", status: "2", btv: "" },
  "UKEY_WQ2372": { errmsg: "USBKey中证书状态正常", fmt: "", status: "0", btv: "" },
  "UKEY_WQ2373": { errmsg: "USBKey中证书已过期", fmt: "请及时更新证书", status: "1", btv: "" },
  "UKEY_WQ2374": { errmsg: "USBKey中证书未生效", fmt: "", status: "1", btv: "" },
  "UKEY_WQ2375": { errmsg: "USBKey中证书将在30天内过期", fmt: "请及时更新证书", status: "1", btv: "" },
  "UKEY_WQ2376": { errmsg: "USBKey中无包含证书", fmt: "", status: "1", btv: "" },
  "UKEY_WQ2377": { errmsg: "有多支USBKey与电脑连接", fmt: "这里只对第一支USBKey进行证书状态检测，建议使用一支USBKey进行检测", status: "1", btv: "" },
  "VERSION": { errmsg: "USBKey驱动已经是最新版本！", fmt: "", status: "0", btv: "" },
  "VERSION_OLD": { errmsg: "用户已安装驱动版本过低，请一键修复安装最新版", fmt: "", status: "1", btv: "" },
  "TITLE_RG": { errmsg: "注册表检测结果：", fmt: "", status: "", btv: "" },
  "TITLE_IE": { errmsg: "浏览器检测结果：", fmt: "", status: "", btv: "" },
  "TITLE_CT": { errmsg: "控件检测结果：", fmt: "", status: "", btv: "" },
  "TITLE_WS": { errmsg: "系统检测结果：", fmt: "", status: "", btv: "" },
  "TITLE_RC": { errmsg: "根证书检测结果：", fmt: "", status: "", btv: "" },
  "TITLE_MW": { errmsg: "中间件检测结果：", fmt: "", status: "", btv: "" },
  "TITLE_UK": { errmsg: "USBKey检测结果：", fmt: "", status: "", btv: "" },
  "TITLE_CS": { errmsg: "修复结果：", fmt: "", status: "", btv: "" }
};

var titleCodes = ["TITLE_RG", "TITLE_IE", "TITLE_CT", "TITLE_WS", "TITLE_RC", "TITLE_MW", "TITLE_UK", "TITLE_CS"];

function fnIsDetector() {
  try {
    return window.external.KivoSysCall != null;
  } catch (e) {
    return false;
  }
}

function Kivo_IsOpenByKivoApp() {
  return window.external.KivoSysCall != null;
}

function Kivo_SysCall(CmdId, Args) {
  if (!fnIsDetector()) return;
  if (arguments.length < 1 || arguments.length > 2) {
    alert("参数不正确，您应该传递一到两个参数！");
    return;
  }
  if (arguments.length == 1) Args = {};
  return window.external.KivoSysCall(CmdId, Args);
}

function OpenUrl(cmd) {
  return Kivo_SysCall(cmd, "QV");
}

function getImgHTML(status) {
  var img = "icon_ok.png";
  if (status == "1") img = "icon_warning.png";
  else if (status == "2") img = "icon_error.png";
  return '<img src="' + img + '" width="16" height="16" />';
}

function htmlText(text) {
  return String(text).replace(/&/g, "&amp;").replace(/</g, "&lt;").replace(/>/g, "&gt;");
}

// A frame's window by the id (or name) of its frame element.
function frameWindow(id) {
  var el = document.getElementById(id);
  if (el && el.contentWindow) return el.contentWindow;
  return window.frames[id] || null;
}

var showTypes = {
  1: { frame: "mainframe1", name: "驱动检测", page: "QV_detectKey.htm" },
  2: { frame: "mainframe2", name: "控件检测", page: "QV_detectCT.htm" },
  3: { frame: "mainframe3", name: "系统检测", page: "QV_detectSys.htm" },
  4: { frame: "mainframe", name: "检测", page: "QV_detectAll.htm" }
};
var curType = 4;
var curFrame = null;

function progressHTML(type, text) {
  return '<div class="progress"><div class="progress_bar" id="load_progress' + type + '" style="width:0%"></div></div>' +
    '<span class="tip_text">' + text[0] + '<span id="load_percent' + type + '">0%</span>' + text[1] + "</span>";
}

function setDisplay(doc, id, shown) {
  var el = doc && doc.getElementById(id);
  if (el) el.style.display = shown ? "" : "none";
}

// Runs then(win) with the type's detection page in its frame. The toolbar's help, login and
// about pages are shown in that frame too: the detection page is brought back first.
function withDetector(type, then) {
  var t = showTypes[type];
  var win = frameWindow(t.frame);
  var el = document.getElementById(t.frame);
  var ready = function (w) {
    try {
      return !!(w && w.document && typeof w.clearResults == "function");
    } catch (e) {
      return false;
    }
  };
  if (ready(win) || !el || !win) {
    then(win);
    return;
  }
  el.onload = function () {
    el.onload = null;
    var w = frameWindow(t.frame);
    if (ready(w)) then(w);
  };
  win.location.href = t.page;
}

function showResult(type) {
  if (!showTypes[type]) return;
  withDetector(type, function (win) {
    startCheck(type, win);
  });
}

// The repair button: the repair of the type's detection page.
function startRepair(type) {
  if (!showTypes[type]) return;
  withDetector(type, function (win) {
    if (win && typeof win.repairAll == "function") win.repairAll();
  });
}

function startCheck(type, win) {
  var t = showTypes[type];
  curType = type;
  curFrame = win;
  var tip = document.getElementById("topInfo" + type);
  if (tip) tip.innerHTML = progressHTML(type, ["正在进行" + t.name + "，已完成 ", "，请稍候...."]);
  setDisplay(document, "topBtn" + type, false);
  disabledTools(true);
  if (win && win.document) {
    win.clearResults();
    setDisplay(win.document, "notice", false);
    win.addWaitingRow("正在检查，请稍候...");
    win.errcodes = [];
  }
  Kivo_SysCall(type, "QV");
}

function disabledTools(flag) {
  var doc = window.parent ? window.parent.document : document;
  for (var p = 1; p <= 2; p++) {
    for (var i = 1; i <= 9; i++) {
      var el = doc.getElementById("m" + p + "_" + i);
      if (!el) continue;
      el.disabled = !!flag;
      if (p == 1) el.title = flag ? "正在检测中，请稍后" : "";
    }
  }
}

function two(n) {
  return (n < 10 ? "0" : "") + n;
}

function timeText(d) {
  return d.getFullYear() + "-" + (d.getMonth() + 1) + "-" + d.getDate() + " " + d.getHours() + ":" + two(d.getMinutes()) + ":" + two(d.getSeconds());
}

// The behaviour every detection page shares; options: type (progress number), summary
// (name of the page's summary function), repairArg, doneText, infoText (code, status):
// the line shown for an information code.
function makeDetector(options) {
  var page = window;
  page.errcodes = [];
  page.errShown = {};
  var warnList = [];
  var repairMode = 0;
  var hasError = 0;
  var netError = 0;
  var progress = 0;
  var startTime = new Date();
  var parentDoc = function () {
    return window.parent && window.parent !== window ? window.parent.document : document;
  };

  page.clearResults = function () {
    document.getElementById("result").innerHTML = "";
  };
  page.addWaitingRow = function (text) {
    addRow('<td colspan="2" class="waiting"><img src="loading.gif" /> ' + htmlText(text) + "</td>", "waiting_row");
  };

  function addRow(html, cls) {
    var table = document.getElementById("result");
    var row = table.insertRow(-1);
    row.className = cls || "";
    row.innerHTML = html;
  }

  function setProgress(value) {
    progress = value;
    var doc = parentDoc();
    var bar = doc.getElementById("load_progress" + options.type);
    var pct = doc.getElementById("load_percent" + options.type);
    if (bar) bar.style.width = value + "%";
    if (pct) pct.innerHTML = value + "%";
  }
  page.getProgress = function () {
    return progress;
  };

  page.addResult = function (errcode, status) {
    try {
      errcode = String(errcode).toUpperCase();
      status = String(status);
      if (status != "0") {
        var entry = errList[errcode];
        var level = entry.status; // an unknown code throws here and shows nothing
        errcodes.push(errcode);
        if (level == "1" || level == "2") warnList.push(errcode);
        if (titleCodes.indexOf(errcode) < 0) {
          var text = options.infoText(errcode, status);
          if (text === null) text = entry.errmsg;
          errShown[errcode] = text;
          addRow("<td>" + getImgHTML(level) + "</td><td>" + htmlText(text) + "</td>");
          if (level == "1" || level == "2") {
            if (errcode == "WEB1") netError = 1;
            else if (errcode != "AUTORUN1" && errcode != "UKEY_NO_KEY") hasError = 1;
          }
        }
        if (errcode == "OS0") setProgress(15);
        else if (/^\d+$/.test(status)) setProgress(parseInt(status, 10));
      } else {
        addRow('<td colspan="2" class="finished">' + htmlText(options.doneText) + "</td>");
        setProgress(100);
        setTimeout(function () {
          page[options.summary](errcode);
        }, 1000);
      }
    } catch (e) {}
  };

  page[options.summary] = function (errcode) {
    var html = "";
    var group = function (title, lines) {
      return '<div class="group"><div class="group_title">' + htmlText(title) + "</div>" + lines + "</div>";
    };
    var line = function (cls, text) {
      return '<div class="line ' + cls + '">' + text + "</div>";
    };
    var withFmt = function (entry, text) {
      return htmlText(text) + (entry.fmt ? "（" + htmlText(entry.fmt) + "）" : "");
    };
    if (warnList.length > 0) {
      var lines = "";
      for (var i = 0; i < warnList.length; i++) {
        var w = errList[warnList[i]];
        lines += line(w.status == "1" ? "warning" : "error", withFmt(w, w.errmsg));
      }
      html += group("全面检测结果：", lines);
    } else if (!repairMode) {
      html += group("全面检测结果：", line("ok", "尊敬的Quillmark用户，您的系统环境一切正常！"));
    }
    warnList = [];
    var open = null;
    var body = "";
    var styles = { "0": "ok", "1": "warning", "2": "error" };
    for (var j = 0; j < errcodes.length; j++) {
      var code = errcodes[j];
      var e = errList[code];
      if (titleCodes.indexOf(code) >= 0) {
        if (open !== null) html += group(open, body);
        open = repairMode ? e.errmsg.split("检测").join("修复") : e.errmsg;
        body = "";
      } else {
        var text = withFmt(e, errShown[code] || e.errmsg);
        if (e.btv) text += ' <button class="action" onclick="repairItem(\'' + code + '\')">' + htmlText(e.btv) + "</button>";
        body += line(styles[e.status] || "ok", text);
      }
    }
    if (open !== null) html += group(open, body);
    else if (body) html += body;
    document.getElementById("summary").innerHTML = html;
    document.getElementById("result").innerHTML = "";

    var tip;
    var when = timeText(repairMode ? startTime : new Date());
    if (repairMode) {
      if (errcode == "REPAIR2" && !hasError) tip = "恭喜您，您的电脑已达到使用Quillmark的最优环境配置，可以放心使用！";
      else if (errcode == "REPAIR1") tip = "您已经放弃了修复操作！";
      else tip = "修复操作失败，请重新执行修复！";
      tip += "<br />执行时间(" + when + ")";
    } else {
      if (hasError && netError) tip = "为了使您的电脑达到使用Quillmark的最优环境配置，请查阅详细的检测结果，可以点击“一键修复”按钮进行除网络问题的修复！";
      else if (hasError) tip = "为了使您的电脑达到使用Quillmark的最优环境配置，请查阅详细的检测结果，可以点击“一键修复”按钮进行修复！";
      else if (netError) tip = "您的电脑已有Quillmark相关环境，但存在网络问题，还不能正常使用Quillmark，请检查！";
      else tip = "恭喜您，您的电脑已达到使用Quillmark的最优环境配置，可以放心使用！";
      tip += "<br />检测时间(" + when + ")";
    }
    var tipEl = parentDoc().getElementById("topInfo" + options.type);
    if (tipEl) tipEl.innerHTML = '<span class="tip_text">' + tip + "</span>";
    repairMode = 0;
    hasError = 0;
    netError = 0;
    setDisplay(parentDoc(), "topBtn" + options.type, true);
    disabledTools(false);
  };

  page.repairAll = function () {
    startTime = new Date();
    errcodes = [];
    errShown = {};
    document.getElementById("summary").innerHTML = "";
    page.clearResults();
    repairMode = 1;
    if (window.parent && window.parent !== window) {
      window.parent.curFrame = window;
      window.parent.curType = 4;
    }
    var doc = parentDoc();
    var tip = doc.getElementById("topInfo" + options.type);
    if (tip) tip.innerHTML = progressHTML(options.type, ["正在进行修复，已完成 ", "，请稍候...."]);
    setDisplay(doc, "topBtn" + options.type, false);
    setDisplay(document, "notice", false);
    disabledTools(true);
    page.addWaitingRow("正在进行全面修复，请稍候...");
    Kivo_SysCall(10, options.repairArg);
  };
  page.clearSummary = function () {
    document.getElementById("summary").innerHTML = "";
  };
  var clear = page.clearResults;
  page.clearResults = function () {
    clear();
    page.clearSummary();
  };
}
