// TarnLauncher page. The host (the launcher window) sends messages with a "type"; the page answers
// with commands, always as JSON text. Every sentence the player reads lives here, in three
// languages; the host only sends codes, numbers and the server's own texts, which are always put
// in as plain text. Opened in an ordinary browser (no host), the page plays a demonstration.
'use strict';

const TEXTS = {
  lt: {
    minimize: 'Sumažinti',
    close: 'Uždaryti',
    news: 'Naujienos',
    more: 'Skaityti daugiau',
    play: 'Žaisti',
    cancel: 'Atšaukti',
    settings: 'Nustatymai',
    repair: 'Taisyti klientą',
    displayMode: 'Rodymo režimas',
    windowed: 'Langas',
    fullscreen: 'Visas ekranas',
    resolution: 'Skyra',
    language: 'Kalba',
    repairTitle: 'Taisyti klientą',
    repairText: 'Patikrina visus failus ir atsisiunčia sugadintus.',
    repairButton: 'Taisyti',
    save: 'Išsaugoti',
    noNews: 'Naujienų kol kas nėra.',
    website: 'Svetainė',
    forum: 'Forumas',
    discord: 'Discord',
    donate: 'Paremti',
    online: 'Veikia',
    offline: 'Neveikia',
    players: 'žaid.',
    statusUnknown: 'Būsena nežinoma',
    ph_manifest: 'Jungiamasi prie atnaujinimų serverio…',
    ph_selfupdate: 'Atnaujinamas paleidiklis…',
    ph_check: 'Tikrinami žaidimo failai…',
    ph_download: 'Atsisiunčiami atnaujinimai…',
    ph_finish: 'Baigiama…',
    d_uptodate: 'Žaidimas paruoštas',
    d_updated: 'Atnaujinta – galite žaisti',
    d_offline: 'Nepavyko patikrinti atnaujinimų – galite žaisti',
    d_badsig: 'Neatitinka atnaujinimo parašas – praneškite administracijai',
    d_badmanifest: 'Atnaujinimų sąrašas sugadintas – praneškite administracijai',
    d_noconfig: 'Atnaujinimai nenustatyti',
    d_failed: 'Atnaujinti nepavyko',
    d_cancelled: 'Atnaujinimas atšauktas',
    n_busy: 'Palaukite, kol baigsis atnaujinimas.',
    n_gameMissing: 'Nerastas žaidimo failas:',
    n_gameStartFailed: 'Nepavyko paleisti žaidimo, klaida',
    n_selfUpdateFailed: 'Nepavyko atnaujinti paleidiklio – naudojama senoji versija.',
    n_saved: 'Nustatymai išsaugoti',
    n_saveFailed: 'Nepavyko išsaugoti nustatymų',
    files: 'failai',
    left: 'liko',
  },
  en: {
    minimize: 'Minimize',
    close: 'Close',
    news: 'News',
    more: 'Read more',
    play: 'Play',
    cancel: 'Cancel',
    settings: 'Settings',
    repair: 'Repair client',
    displayMode: 'Display mode',
    windowed: 'Window',
    fullscreen: 'Full screen',
    resolution: 'Resolution',
    language: 'Language',
    repairTitle: 'Repair client',
    repairText: 'Checks every file and downloads the damaged ones.',
    repairButton: 'Repair',
    save: 'Save',
    noNews: 'No news yet.',
    website: 'Website',
    forum: 'Forum',
    discord: 'Discord',
    donate: 'Donate',
    online: 'Online',
    offline: 'Offline',
    players: 'players',
    statusUnknown: 'Status unknown',
    ph_manifest: 'Connecting to the update server…',
    ph_selfupdate: 'Updating the launcher…',
    ph_check: 'Checking game files…',
    ph_download: 'Downloading updates…',
    ph_finish: 'Finishing…',
    d_uptodate: 'Ready to play',
    d_updated: 'Updated – ready to play',
    d_offline: 'Could not check for updates – you can still play',
    d_badsig: 'Update signature mismatch – please tell the staff',
    d_badmanifest: 'Update list is damaged – please tell the staff',
    d_noconfig: 'Updates are not configured',
    d_failed: 'Update failed',
    d_cancelled: 'Update cancelled',
    n_busy: 'Please wait until the update finishes.',
    n_gameMissing: 'Game file not found:',
    n_gameStartFailed: 'Could not start the game, error',
    n_selfUpdateFailed: 'Could not update the launcher – using the old version.',
    n_saved: 'Settings saved',
    n_saveFailed: 'Could not save settings',
    files: 'files',
    left: 'left',
  },
  ru: {
    minimize: 'Свернуть',
    close: 'Закрыть',
    news: 'Новости',
    more: 'Подробнее',
    play: 'Играть',
    cancel: 'Отмена',
    settings: 'Настройки',
    repair: 'Восстановить клиент',
    displayMode: 'Режим экрана',
    windowed: 'В окне',
    fullscreen: 'Полный экран',
    resolution: 'Разрешение',
    language: 'Язык',
    repairTitle: 'Восстановление клиента',
    repairText: 'Проверяет все файлы и заново загружает повреждённые.',
    repairButton: 'Восстановить',
    save: 'Сохранить',
    noNews: 'Новостей пока нет.',
    website: 'Сайт',
    forum: 'Форум',
    discord: 'Discord',
    donate: 'Поддержать',
    online: 'Онлайн',
    offline: 'Офлайн',
    players: 'игр.',
    statusUnknown: 'Статус неизвестен',
    ph_manifest: 'Подключение к серверу обновлений…',
    ph_selfupdate: 'Обновление лаунчера…',
    ph_check: 'Проверка файлов игры…',
    ph_download: 'Загрузка обновлений…',
    ph_finish: 'Завершение…',
    d_uptodate: 'Игра готова',
    d_updated: 'Обновлено – можно играть',
    d_offline: 'Не удалось проверить обновления – можно играть',
    d_badsig: 'Подпись обновления не совпадает – сообщите администрации',
    d_badmanifest: 'Список обновлений повреждён – сообщите администрации',
    d_noconfig: 'Обновления не настроены',
    d_failed: 'Ошибка обновления',
    d_cancelled: 'Обновление отменено',
    n_busy: 'Дождитесь окончания обновления.',
    n_gameMissing: 'Файл игры не найден:',
    n_gameStartFailed: 'Не удалось запустить игру, ошибка',
    n_selfUpdateFailed: 'Не удалось обновить лаунчер – используется старая версия.',
    n_saved: 'Настройки сохранены',
    n_saveFailed: 'Не удалось сохранить настройки',
    files: 'файлы',
    left: 'осталось',
  },
};

const LANGS = ['lt', 'en', 'ru'];
const LINK_NAMES = ['website', 'forum', 'discord', 'donate'];
const NEWS_LIMIT = 30;
const TOAST_MS = 4200;
const DEFAULT_KICKER = 'Lineage II · Interlude';
const DEFAULT_TITLE = 'Lineage II';

// Line icons of the link buttons, drawn on a 24-unit grid with the current text colour.
const LINK_ICONS = {
  website: [
    ['circle', { cx: 12, cy: 12, r: 8.5 }],
    ['ellipse', { cx: 12, cy: 12, rx: 3.6, ry: 8.5 }],
    ['path', { d: 'M3.8 9.2h16.4M3.8 14.8h16.4' }],
  ],
  forum: [
    ['path', { d: 'M5.5 4.5h13a2 2 0 0 1 2 2v8.5a2 2 0 0 1-2 2h-7.2L7 20.5v-3.5H5.5a2 2 0 0 1-2-2V6.5a2 2 0 0 1 2-2z' }],
    ['path', { d: 'M7.5 9h9M7.5 12.5h6' }],
  ],
  discord: [
    ['path', { d: 'M7.2 6.2Q12 4.4 16.8 6.2Q20 10.6 19.8 16.2Q17.8 17.9 15.2 18.6L14.1 16.6Q12 17.1 9.9 16.6L8.8 18.6Q6.2 17.9 4.2 16.2Q4 10.6 7.2 6.2Z' }],
    ['circle', { cx: 9.4, cy: 12.2, r: 1.35, class: 'solid' }],
    ['circle', { cx: 14.6, cy: 12.2, r: 1.35, class: 'solid' }],
  ],
  donate: [
    ['path', { d: 'M12 19.8s-7.6-4.6-8.4-9.6A4.4 4.4 0 0 1 12 7.6a4.4 4.4 0 0 1 8.4 2.6c-.8 5-8.4 9.6-8.4 9.6z' }],
  ],
};

const state = {
  lang: 'lt',
  busy: false,
  canPlay: false,
  lastDone: null,
  lastPhase: 'manifest',
  lastProgress: null,
  newsData: null,
  statusData: null,
  linksAvail: {},
  settings: null,
  pending: null,
  serverName: null,
  bannerUrl: '',
};

const host = window.chrome && window.chrome.webview ? window.chrome.webview : null;

const el = {};
for (const id of ['header', 'status', 'statusText', 'btnMin', 'btnClose', 'banner', 'bannerImg',
  'bannerKicker', 'bannerTitle', 'bannerText', 'bannerLink', 'newsList', 'phaseText', 'percentText',
  'barFill', 'fileText', 'detailText', 'links', 'btnCancel', 'btnSettings', 'btnRepair', 'btnPlay',
  'versionText', 'settings', 'modeSeg', 'resSelect', 'langSeg', 'btnRepair2', 'btnSettingsCancel',
  'btnSettingsSave', 'toast']) {
  el[id] = document.getElementById(id);
}
el.bar = document.querySelector('.bar');
el.bar.id = 'bar';

let toastTimer = 0;
let focusBeforeDialog = null;

// ---------------------------------------------------------------- helpers

function has(obj, key) {
  return Object.prototype.hasOwnProperty.call(obj, key);
}

function isObject(v) {
  return v !== null && typeof v === 'object' && !Array.isArray(v);
}

// The current language, then English, then the key itself, so that a code the page does not
// know yet still shows something the player can report.
function t(key) {
  const own = TEXTS[state.lang];
  if (own && has(own, key)) return own[key];
  if (has(TEXTS.en, key)) return TEXTS.en[key];
  return key;
}

function plain(v) {
  return v === undefined || v === null || typeof v === 'object' ? '' : String(v);
}

// A news text is either shown as it is, or is an object of translations.
function localize(v) {
  if (!isObject(v)) return Array.isArray(v) ? '' : plain(v);
  for (const code of [state.lang, 'en', 'lt']) {
    if (has(v, code) && v[code] !== undefined && v[code] !== null) return plain(v[code]);
  }
  const keys = Object.keys(v);
  return keys.length ? plain(v[keys[0]]) : '';
}

function webLink(v) {
  return typeof v === 'string' && (v.startsWith('http://') || v.startsWith('https://')) ? v : '';
}

function num(v) {
  return typeof v === 'number' && Number.isFinite(v) ? v : 0;
}

function formatSize(bytes) {
  const units = ['B', 'KB', 'MB', 'GB'];
  let value = num(bytes);
  let unit = 0;
  while (value >= 1024 && unit < units.length - 1) {
    value /= 1024;
    unit++;
  }
  return value.toFixed(unit === 0 ? 0 : 1) + ' ' + units[unit];
}

function formatTime(seconds) {
  if (typeof seconds !== 'number' || !Number.isFinite(seconds) || seconds <= 0) return '';
  const whole = Math.round(seconds);
  const minutes = Math.floor(whole / 60);
  if (minutes >= 60) return Math.floor(minutes / 60) + ' h ' + (minutes % 60) + ' min';
  if (minutes >= 1) return minutes + ' min ' + (whole % 60) + ' s';
  return whole + ' s';
}

function svgIcon(parts) {
  const ns = 'http://www.w3.org/2000/svg';
  const svg = document.createElementNS(ns, 'svg');
  svg.setAttribute('viewBox', '0 0 24 24');
  svg.setAttribute('aria-hidden', 'true');
  for (const [tag, attrs] of parts) {
    const shape = document.createElementNS(ns, tag);
    for (const [name, value] of Object.entries(attrs)) shape.setAttribute(name, String(value));
    svg.append(shape);
  }
  return svg;
}

function send(command) {
  if (host) host.postMessage(JSON.stringify(command));
  else demoAnswer(command);
}

// ---------------------------------------------------------------- drawing

function applyLanguage() {
  document.documentElement.lang = state.lang;
  for (const node of document.querySelectorAll('[data-i18n]')) {
    node.textContent = t(node.dataset.i18n);
  }
  for (const node of document.querySelectorAll('[data-i18n-title]')) {
    const text = t(node.dataset.i18nTitle);
    node.title = text;
    node.setAttribute('aria-label', text);
  }
  for (const button of el.langSeg.querySelectorAll('button')) {
    const current = button.dataset.lang === state.lang;
    button.classList.toggle('active', current);
    button.setAttribute('aria-pressed', String(current));
  }
  drawLinks();
  drawNews();
  drawStatus();
  drawProgress();
}

function drawLinks() {
  el.links.replaceChildren();
  for (const name of LINK_NAMES) {
    if (!has(state.linksAvail, name) || state.linksAvail[name] !== true) continue;
    const button = document.createElement('button');
    button.type = 'button';
    button.className = 'link-btn ' + name;
    const label = document.createElement('span');
    label.textContent = t(name);
    button.title = t(name);
    button.append(svgIcon(LINK_ICONS[name]), label);
    button.addEventListener('click', () => send({ cmd: 'link', name }));
    el.links.append(button);
  }
}

function drawNews() {
  const doc = isObject(state.newsData) ? state.newsData : null;
  const items = doc && Array.isArray(doc.news) ? doc.news : [];
  el.newsList.replaceChildren();
  if (items.length === 0) {
    const empty = document.createElement('div');
    empty.className = 'news-empty';
    empty.textContent = t('noNews');
    el.newsList.append(empty);
  }
  for (const raw of items.slice(0, NEWS_LIMIT)) {
    const item = isObject(raw) ? raw : {};
    const link = webLink(item.link);
    const node = document.createElement(link ? 'button' : 'div');
    node.className = link ? 'news-item link' : 'news-item';
    if (link) {
      node.type = 'button';
      node.addEventListener('click', () => send({ cmd: 'openUrl', url: link }));
    }
    for (const [cls, value] of [['news-date', item.date], ['news-title', item.title], ['news-text', item.text]]) {
      const line = document.createElement('span');
      line.className = cls;
      line.textContent = localize(value);
      node.append(line);
    }
    el.newsList.append(node);
  }
  drawBanner(doc && isObject(doc.banner) ? doc.banner : null);
}

function drawBanner(banner) {
  if (banner) {
    el.bannerTitle.textContent = localize(banner.title);
    el.bannerText.textContent = localize(banner.text);
  } else {
    el.bannerTitle.textContent = state.serverName || DEFAULT_TITLE;
    el.bannerText.textContent = '';
  }
  const hasKicker = banner && banner.kicker !== undefined && banner.kicker !== null;
  el.bannerKicker.textContent = hasKicker ? localize(banner.kicker) : DEFAULT_KICKER;

  const image = banner ? banner.image : undefined;
  const imageOk = typeof image === 'string' &&
    (image.startsWith('http:') || image.startsWith('https:') || image.startsWith('data:image/'));
  // The address goes inside a quoted CSS url(); a double quote would end it early.
  el.bannerImg.style.backgroundImage = imageOk ? 'url("' + image.replace(/"/g, '%22') + '")' : '';
  el.banner.classList.toggle('has-image', imageOk);

  state.bannerUrl = banner ? webLink(banner.link) : '';
  el.bannerLink.hidden = !state.bannerUrl;
}

function drawStatus() {
  const status = state.statusData;
  if (!status) {
    el.status.hidden = true;
    return;
  }
  el.status.hidden = false;
  el.status.classList.toggle('online', status.online === true);
  el.status.classList.toggle('offline', status.online === false);
  let text;
  if (status.online === true) {
    text = t('online');
    if (typeof status.players === 'number' && status.players >= 0) {
      text += ' · ' + status.players + ' ' + t('players');
    }
  } else if (status.online === false) {
    text = t('offline');
  } else {
    text = t('statusUnknown');
  }
  el.statusText.textContent = text;
}

function setBar(fraction) {
  const swinging = fraction === 'busy';
  el.bar.classList.toggle('busy', swinging);
  el.barFill.style.width = swinging ? '' : (fraction * 100) + '%';
  if (swinging) el.bar.removeAttribute('aria-valuenow');
  else el.bar.setAttribute('aria-valuenow', String(Math.floor(fraction * 100)));
}

function setProgressLines(phase, percent, file, detail) {
  el.phaseText.textContent = phase;
  el.percentText.textContent = percent;
  el.fileText.textContent = file;
  el.fileText.title = file;
  el.detailText.textContent = detail;
}

function drawProgress() {
  el.bar.classList.toggle('complete', !state.busy && !!state.lastDone && state.lastDone.ok === true);
  el.btnPlay.disabled = state.busy || !state.canPlay;
  el.btnCancel.hidden = !state.busy;
  el.btnRepair.disabled = state.busy;
  el.btnRepair2.disabled = state.busy;

  if (state.busy) {
    const phase = t('ph_' + state.lastPhase);
    const p = state.lastProgress && state.lastProgress.phase === state.lastPhase ? state.lastProgress : null;
    const total = p ? num(p.bytesTotal) : 0;
    if (!p || total <= 0) {
      setProgressLines(phase, '', '', '');
      setBar('busy');
      return;
    }
    const done = num(p.bytesDone);
    const fraction = Math.min(1, Math.max(0, done / total));
    let detail;
    if (p.phase === 'download') {
      detail = formatSize(done) + ' / ' + formatSize(total);
      const speed = num(p.speed);
      if (speed > 0) {
        detail += ' · ' + formatSize(speed) + '/s';
        const left = (total - done) / speed;
        if (left > 0) detail += ' · ' + t('left') + ' ' + formatTime(left);
      }
    } else {
      detail = num(p.filesDone) + ' / ' + num(p.filesTotal) + ' ' + t('files');
    }
    setProgressLines(phase, Math.floor(fraction * 100) + '%', plain(p.file), detail);
    setBar(fraction);
  } else if (state.lastDone) {
    const ok = state.lastDone.ok === true;
    setProgressLines(t('d_' + plain(state.lastDone.code)), ok ? '100%' : '', ok ? '' : plain(state.lastDone.detail), '');
    setBar(ok ? 1 : 0);
  } else {
    setProgressLines('', '', '', '');
    setBar(0);
  }
}

function showToast(text) {
  el.toast.textContent = text;
  el.toast.title = text;
  el.toast.hidden = false;
  // Restart the entrance animation for a toast that replaces a visible one.
  el.toast.classList.remove('show');
  void el.toast.offsetWidth;
  el.toast.classList.add('show');
  clearTimeout(toastTimer);
  toastTimer = setTimeout(() => {
    el.toast.hidden = true;
    el.toast.classList.remove('show');
  }, TOAST_MS);
}

// ---------------------------------------------------------------- settings dialog

function markMode() {
  for (const button of el.modeSeg.querySelectorAll('button')) {
    const chosen = (button.dataset.mode === 'windowed') === state.pending.windowed;
    button.classList.toggle('active', chosen);
    button.setAttribute('aria-pressed', String(chosen));
  }
}

function openSettings(message) {
  state.settings = message;
  state.pending = { windowed: message.windowed === true, width: num(message.width), height: num(message.height) };
  markMode();
  el.resSelect.replaceChildren();
  let selected = -1;
  const pairs = Array.isArray(message.resolutions) ? message.resolutions : [];
  for (const pair of pairs) {
    if (!Array.isArray(pair) || typeof pair[0] !== 'number' || typeof pair[1] !== 'number') continue;
    const [width, height] = pair;
    el.resSelect.append(new Option(width + ' × ' + height, width + 'x' + height));
    if (width === state.pending.width && height === state.pending.height) selected = el.resSelect.length - 1;
  }
  // With no matching entry nothing is selected, so that Save keeps the current size.
  el.resSelect.selectedIndex = selected;
  if (el.settings.hidden) {
    focusBeforeDialog = document.activeElement;
    el.settings.hidden = false;
    (el.modeSeg.querySelector('.active') || el.btnSettingsSave).focus();
  }
}

function hideSettings() {
  if (el.settings.hidden) return;
  el.settings.hidden = true;
  const back = focusBeforeDialog && document.contains(focusBeforeDialog) ? focusBeforeDialog : el.btnSettings;
  focusBeforeDialog = null;
  back.focus();
}

function saveSettings() {
  let { width, height } = state.pending;
  const chosen = /^(\d+)x(\d+)$/.exec(el.resSelect.value);
  if (chosen) {
    width = Number(chosen[1]);
    height = Number(chosen[2]);
  }
  send({ cmd: 'saveSettings', windowed: state.pending.windowed, width, height });
  hideSettings();
}

// Keeps Tab inside the open dialog.
function trapFocus(event) {
  const focusable = Array.from(el.settings.querySelectorAll('button, select'))
    .filter((node) => !node.disabled);
  if (focusable.length === 0) return;
  const first = focusable[0];
  const last = focusable[focusable.length - 1];
  if (event.shiftKey && document.activeElement === first) {
    last.focus();
    event.preventDefault();
  } else if (!event.shiftKey && document.activeElement === last) {
    first.focus();
    event.preventDefault();
  } else if (!el.settings.contains(document.activeElement)) {
    first.focus();
    event.preventDefault();
  }
}

// ---------------------------------------------------------------- messages

function handleMessage(message) {
  if (!isObject(message)) return;
  switch (message.type) {
    case 'init':
      state.lang = LANGS.includes(message.lang) ? message.lang : 'lt';
      state.serverName = typeof message.serverName === 'string' && message.serverName ? message.serverName : null;
      if (state.serverName) document.title = state.serverName;
      state.linksAvail = isObject(message.links) ? message.links : {};
      el.versionText.textContent = 'v' + plain(message.version);
      state.busy = true;
      applyLanguage();
      break;
    case 'phase':
      state.busy = true;
      state.lastPhase = plain(message.phase);
      state.lastProgress = null;
      drawProgress();
      break;
    case 'progress':
      state.lastProgress = message;
      state.lastPhase = plain(message.phase);
      drawProgress();
      break;
    case 'done': {
      state.busy = false;
      state.canPlay = message.canPlay === true;
      state.lastDone = message;
      const build = plain(message.build);
      if (build) {
        const version = el.versionText.textContent;
        const cut = version.indexOf(' · ');
        el.versionText.textContent = (cut >= 0 ? version.slice(0, cut) : version) + ' · build ' + build;
      }
      drawProgress();
      break;
    }
    case 'news':
      state.newsData = message.data === undefined || message.data === null ? null : message.data;
      drawNews();
      break;
    case 'status':
      state.statusData = message;
      drawStatus();
      break;
    case 'settings':
      openSettings(message);
      break;
    case 'settingsSaved':
      showToast(t(message.ok === true ? 'n_saved' : 'n_saveFailed'));
      break;
    case 'notice': {
      const detail = plain(message.detail);
      showToast(t('n_' + plain(message.code)) + (detail ? ' ' + detail : ''));
      break;
    }
    default:
      break;
  }
}

// ---------------------------------------------------------------- user actions

function setLanguage(code) {
  state.lang = code;
  send({ cmd: 'setLanguage', lang: code });
  applyLanguage();
}

el.header.addEventListener('mousedown', (event) => {
  if (event.button !== 0 || event.target.closest('button')) return;
  send({ cmd: 'drag' });
});
el.btnMin.addEventListener('click', () => send({ cmd: 'minimize' }));
el.btnClose.addEventListener('click', () => send({ cmd: 'close' }));
el.btnPlay.addEventListener('click', () => send({ cmd: 'play' }));
el.btnCancel.addEventListener('click', () => send({ cmd: 'cancel' }));
el.btnRepair.addEventListener('click', () => send({ cmd: 'repair' }));
el.btnSettings.addEventListener('click', () => send({ cmd: 'getSettings' }));
el.bannerLink.addEventListener('click', () => {
  if (state.bannerUrl) send({ cmd: 'openUrl', url: state.bannerUrl });
});
el.btnRepair2.addEventListener('click', () => {
  hideSettings();
  send({ cmd: 'repair' });
});
el.btnSettingsCancel.addEventListener('click', hideSettings);
el.btnSettingsSave.addEventListener('click', saveSettings);
el.settings.addEventListener('mousedown', (event) => {
  if (event.target !== el.settings) return;
  // Keep the press from moving focus to the page body once the dialog is gone.
  event.preventDefault();
  hideSettings();
});
for (const button of el.modeSeg.querySelectorAll('button')) {
  button.addEventListener('click', () => {
    if (!state.pending) return;
    state.pending.windowed = button.dataset.mode === 'windowed';
    markMode();
  });
}
for (const button of el.langSeg.querySelectorAll('button')) {
  button.addEventListener('click', () => setLanguage(button.dataset.lang));
}
document.addEventListener('keydown', (event) => {
  if (el.settings.hidden) return;
  if (event.key === 'Escape') {
    event.preventDefault();
    hideSettings();
  } else if (event.key === 'Tab') {
    trapFocus(event);
  }
});

// ---------------------------------------------------------------- demonstration

const DEMO_RESOLUTIONS = [[1024, 768], [1280, 720], [1366, 768], [1600, 900], [1920, 1080]];
const DEMO_FILES = ['system/Interface.u', 'maps/22_22.unr', 'textures/T_Aden.utx',
  'animations/Monsters.ukx', 'staticmeshes/Castle.usx', 'sounds/Ambient.uax', 'music/Field_01.ogg'];
const DEMO_TOTAL = 1536 * 1024 * 1024;
const DEMO_STEPS = 100;
const DEMO_TICK_MS = 120;
const demoSettings = { windowed: true, width: 1280, height: 720 };

function demoBannerArt() {
  const svg = '<svg xmlns="http://www.w3.org/2000/svg" xmlns:xlink="http://www.w3.org/1999/xlink" viewBox="0 0 1200 600" preserveAspectRatio="xMidYMid slice">' +
    '<defs><linearGradient id="s" x1="0" y1="0" x2="0" y2="1"><stop offset="0" stop-color="#0d0910"/>' +
    '<stop offset=".5" stop-color="#2a0c18"/><stop offset=".72" stop-color="#6a1424"/></linearGradient>' +
    '<radialGradient id="g" cx="800" cy="190" r="300" gradientUnits="userSpaceOnUse">' +
    '<stop offset="0" stop-color="#ffd9df" stop-opacity=".32"/>' +
    '<stop offset="1" stop-color="#ffd9df" stop-opacity="0"/></radialGradient>' +
    '<linearGradient id="w" x1="0" y1="0" x2="0" y2="1"><stop offset="0" stop-color="#4a0b18"/>' +
    '<stop offset="1" stop-color="#0e0c0f"/></linearGradient>' +
    '<linearGradient id="m" x1="0" y1="0" x2="0" y2="1">' +
    '<stop offset="0" stop-color="#fff" stop-opacity="0"/>' +
    '<stop offset=".5" stop-color="#fff" stop-opacity=".035"/>' +
    '<stop offset="1" stop-color="#fff" stop-opacity="0"/></linearGradient><g id="r">' +
    '<path d="M0 330L120 290L230 320L340 270L450 310L560 260L700 300L820 250L960 300L1080 270L1200 300V440H0Z" fill="#3d1522"/>' +
    '<path d="M0 380L150 320L260 350L420 250L520 300L600 270L690 205L780 290L860 330L980 280L1100 330L1200 310V440H0Z" fill="#221019"/>' +
    '<path d="M690 205L716 236L704 233L694 250L684 236L674 246L667 232Z" fill="#e8d3d8" opacity=".7"/>' +
    '<path d="M0 420L180 370L320 400L470 350L600 410L760 360L900 400L1040 355L1200 390V440H0Z" fill="#140a10"/>' +
    '</g></defs><rect width="1200" height="600" fill="url(#s)"/>' +
    '<rect width="1200" height="600" fill="url(#g)"/><g fill="#fff">' +
    '<circle cx="140" cy="70" r="1.6" opacity=".5"/><circle cx="300" cy="130" r="1.2" opacity=".4"/>' +
    '<circle cx="460" cy="60" r="1.4" opacity=".45"/><circle cx="600" cy="120" r="1" opacity=".35"/>' +
    '<circle cx="1000" cy="90" r="1.5" opacity=".45"/><circle cx="1100" cy="170" r="1.1" opacity=".35"/>' +
    '<circle cx="960" cy="40" r="1" opacity=".4"/></g><circle cx="800" cy="190" r="50" fill="#f6e6e9"/>' +
    '<use xlink:href="#r" href="#r"/><rect y="370" width="1200" height="70" fill="url(#m)"/>' +
    '<rect y="440" width="1200" height="160" fill="url(#w)"/>' +
    '<use xlink:href="#r" href="#r" transform="translate(0 880) scale(1 -1)" opacity=".28"/>' +
    '<rect y="440" width="1200" height="160" fill="url(#w)" opacity=".55"/>' +
    '<rect y="439" width="1200" height="2" fill="#e2384f" opacity=".5"/>' +
    '<path d="M760 462h80M744 482h112M770 502h60M752 522h96M782 544h36" stroke="#f6e6e9" stroke-width="3" stroke-linecap="round" opacity=".4"/>' +
    '</svg>';
  return 'data:image/svg+xml,' + encodeURIComponent(svg);
}

function demoNews() {
  const item = (date, title, text, link) => (link ? { date, title, text, link } : { date, title, text });
  return {
    banner: {
      kicker: { lt: 'Naujas sezonas', en: 'New season', ru: 'Новый сезон' },
      title: { lt: 'Raudonojo ežero sezonas', en: 'The Crimson Tarn season', ru: 'Сезон Алого озера' },
      text: {
        lt: 'Nauji įvykiai, atnaujintos pilių apgultys ir dvigubi apdovanojimai visą savaitgalį.',
        en: 'New events, reworked castle sieges and double rewards all weekend long.',
        ru: 'Новые события, обновлённые осады замков и двойные награды все выходные.',
      },
      image: demoBannerArt(),
      link: 'https://example.com/news/season',
    },
    news: [
      item('2025-06-14', { lt: 'Savaitgalio įvykis: dvigubi apdovanojimai', en: 'Weekend event: double rewards', ru: 'Событие выходных: двойные награды' },
        { lt: 'Nuo penktadienio vakaro iki sekmadienio.', en: 'From Friday evening until Sunday night.', ru: 'С вечера пятницы до воскресенья.' },
        'https://example.com/news/weekend'),
      item('2025-06-10', { lt: 'Pilių apgultys pakeistos', en: 'Castle sieges reworked', ru: 'Осады замков переработаны' },
        { lt: 'Nauja registracijos tvarka ir apgulčių laikas.', en: 'New sign-up rules and siege times.', ru: 'Новый порядок регистрации и время осад.' },
        'https://example.com/news/sieges'),
      item('2025-06-03', { lt: 'Techninė priežiūra', en: 'Maintenance', ru: 'Технические работы' },
        { lt: 'Trečiadienį 06:00–08:00 serveris neveiks.', en: 'The server is down on Wednesday 06:00–08:00.', ru: 'В среду с 06:00 до 08:00 сервер недоступен.' }),
      item('2025-05-28', { lt: 'Nauji daiktai parduotuvėje', en: 'New items in the shop', ru: 'Новые предметы в магазине' },
        { lt: 'Sezoniniai apdarai ir kosmetika.', en: 'Seasonal outfits and cosmetics.', ru: 'Сезонные наряды и косметика.' },
        'https://example.com/news/shop'),
      item('2025-05-20', { lt: 'Sveiki atvykę!', en: 'Welcome!', ru: 'Добро пожаловать!' },
        { lt: 'Serveris atidarytas visiems žaidėjams.', en: 'The server is open to every player.', ru: 'Сервер открыт для всех игроков.' },
        'https://example.com/news/welcome'),
    ],
  };
}

function demoProgress(step) {
  const bytesDone = Math.round(DEMO_TOTAL * step / DEMO_STEPS);
  const filesTotal = 48;
  return {
    type: 'progress',
    phase: 'download',
    file: DEMO_FILES[step % DEMO_FILES.length],
    filesDone: Math.floor(filesTotal * step / DEMO_STEPS),
    filesTotal,
    bytesDone,
    bytesTotal: DEMO_TOTAL,
    speed: step < DEMO_STEPS ? 11.4 * 1024 * 1024 + (step % 7) * 180 * 1024 : 0,
  };
}

function demoAnswer(command) {
  switch (command.cmd) {
    case 'getSettings':
      handleMessage({ type: 'settings', ...demoSettings, lang: state.lang, resolutions: DEMO_RESOLUTIONS });
      break;
    case 'saveSettings':
      Object.assign(demoSettings, { windowed: command.windowed, width: command.width, height: command.height });
      handleMessage({ type: 'settingsSaved', ok: true });
      break;
    case 'play':
      handleMessage({ type: 'notice', code: 'busy', detail: '' });
      break;
    default:
      break;
  }
}

function startDemo() {
  const params = new URLSearchParams(location.search);
  const build = '2025.06.14';
  handleMessage({
    type: 'init',
    serverName: 'Crimson Tarn',
    version: '1.0.0',
    lang: params.get('lang') || 'lt',
    links: { website: true, forum: true, discord: true, donate: true },
    news: true,
    status: true,
  });
  handleMessage({ type: 'status', online: true, players: 1287 });
  handleMessage({ type: 'news', data: demoNews() });

  const mode = params.get('state');
  if (mode === 'ready') {
    handleMessage({ type: 'done', ok: true, canPlay: true, code: 'uptodate', detail: '', build });
  } else if (mode === 'download') {
    handleMessage({ type: 'phase', phase: 'download' });
    handleMessage(demoProgress(DEMO_STEPS / 2));
  } else {
    handleMessage({ type: 'phase', phase: 'download' });
    let step = 0;
    const timer = setInterval(() => {
      step++;
      handleMessage(demoProgress(step));
      if (step >= DEMO_STEPS) {
        clearInterval(timer);
        handleMessage({ type: 'done', ok: true, canPlay: true, code: 'updated', detail: '', build });
      }
    }, DEMO_TICK_MS);
  }
}

// ---------------------------------------------------------------- start

drawProgress();
if (host) {
  document.addEventListener('contextmenu', (event) => event.preventDefault());
  host.addEventListener('message', (event) => {
    let message = event.data;
    if (typeof message === 'string') {
      try {
        message = JSON.parse(message);
      } catch {
        return;
      }
    }
    handleMessage(message);
  });
  send({ cmd: 'ready' });
} else {
  startDemo();
}
