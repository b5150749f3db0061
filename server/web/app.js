// The estimator's page: files in, the server's estimates out.  Plain script,
// no libraries; everything it needs comes from the same server.
"use strict";

const ACTIVITIES = ["cutting", "travel", "raster", "raster-move", "end-delay", "other"];
const ACTIVITY_NAMES = {
  "cutting": "Cutting", "travel": "Travel", "raster": "Raster", "raster-move": "Raster moves",
  "end-delay": "End delays", "other": "Other",
};
const PEN_COLOURS = ["#000000", "#ff0000", "#0000ff", "#00a000", "#ff8000", "#a000a0", "#00a0a0", "#808000",
  "#804000", "#ff00ff", "#008080", "#404040", "#8080ff", "#ff8080", "#80c080", "#c0c0c0"];
const REPORT_EXTRAS = ["error", "kind", "notes", "cost", "svg", "progressCsv", "timeline", "commands"];

const $ = (id) => document.getElementById(id);
const state = { files: [], selected: null, nextId: 1, timer: null, quoteSeq: 0 };
const view = { scale: 1, x: 0, y: 0, w: 0, h: 0, drag: null };

function el(tag, attrs, ...children) {
  const e = document.createElement(tag);
  for (const [k, v] of Object.entries(attrs || {})) {
    if (k === "class") e.className = v;
    else if (k === "text") e.textContent = v;
    else if (k.startsWith("on")) e.addEventListener(k.slice(2), v);
    else e.setAttribute(k, v);
  }
  for (const c of children) e.append(c);
  return e;
}

function hms(ms) {
  const s = Math.floor(ms / 1000);
  const h = Math.floor(s / 3600), m = Math.floor((s / 60) % 60), sec = s % 60;
  return `${h}:${String(m).padStart(2, "0")}:${String(sec).padStart(2, "0")}`;
}

function share(part, whole) {
  if (whole <= 0) return "–";
  if (part === 0) return "0 %";
  return `${((100 * part) / whole).toFixed(part * 100 < whole ? 1 : 0)} %`;
}

function money(cost) {
  if (!cost) return "—";
  return cost.currency ? `${cost.amount} ${cost.currency}` : cost.amount;
}

// --- settings -----------------------------------------------------------------

function buildPenRows() {
  const body = $("pen-rows");
  for (let pen = 1; pen <= 16; ++pen) {
    body.append(el("tr", {},
      el("th", { scope: "row", text: String(pen) }),
      el("td", {}, el("input", { type: "color", value: PEN_COLOURS[pen - 1], "data-pen": pen,
        "aria-label": `Colour of pen ${pen}` })),
      el("td", {}, el("input", { type: "number", min: "0", max: "2000", step: "any", placeholder: "machine",
        "data-speed": pen, "aria-label": `Cutting speed of pen ${pen}, mm/s` }))));
  }
}

function numberOf(id) {
  const v = $(id).value.trim();
  return v === "" ? null : Number(v);
}

function settings() {
  const s = {
    cost: {},
    penTable: [],
    penSpeedMmS: [],
    rasterDpi: numberOf("dpi") || 508,
    rasterRowsPerInch: numberOf("rpi") || 508,
    rasterSpeedX: numberOf("rspeed") || 1000,
    rasterSpeedY: numberOf("rspeed") || 1000,
    rasterBothDirections: $("rdir").value === "both",
  };
  const rate = numberOf("rate");
  if (rate !== null && rate >= 0) s.cost.ratePerHour = rate;
  const setup = numberOf("setup");
  if (setup !== null && setup >= 0) s.cost.setupMinutes = setup;
  const currency = $("currency").value.trim();
  if (currency) s.cost.currency = currency;
  for (const input of document.querySelectorAll("[data-pen]"))
    s.penTable.push({ colour: input.value.toLowerCase(), pen: Number(input.dataset.pen) });
  for (const input of document.querySelectorAll("[data-speed]")) s.penSpeedMmS.push(Number(input.value) || 0);
  return JSON.stringify(s);
}

// --- talking to the server -----------------------------------------------------

async function postForm(path, form) {
  const url = `${path}?model=${encodeURIComponent($("model").value)}`;
  let res;
  try {
    res = await fetch(url, { method: "POST", body: form });
  } catch (e) {
    return { ok: false, status: 0, body: { error: "the server cannot be reached (is corvanta serve still running?)" } };
  }
  let body;
  try {
    body = await res.json();
  } catch (e) {
    body = { error: `the server answered ${res.status} without an explanation` };
  }
  return { ok: res.ok, status: res.status, body };
}

async function estimate(entry, settingsText) {
  const seq = ++entry.seq;
  entry.busy = true;
  renderFiles();
  const form = new FormData();
  form.append("file", entry.file, entry.name);
  form.append("settings", settingsText);
  const { ok, status, body } = await postForm("/api/estimate", form);
  if (seq !== entry.seq) return;
  entry.busy = false;
  if (entry.answer && ok) {
    entry.prevMs = entry.answer.ms;
    entry.prevCost = entry.answer.cost;
  }
  if (ok) {
    entry.answer = body;
    entry.error = "";
  } else {
    entry.answer = null;
    entry.error = body.error || `the server answered ${status}`;
    if (body.status && body.svg) entry.refused = body;
  }
  renderFiles();
  if (state.selected === entry.id) renderResult();
}

async function quote(settingsText) {
  const seq = ++state.quoteSeq;
  if (state.files.length < 2) {
    $("quote").hidden = true;
    return;
  }
  const form = new FormData();
  for (const f of state.files) form.append("file", f.file, f.name);
  form.append("settings", settingsText);
  const { ok, body } = await postForm("/api/quote", form);
  if (seq !== state.quoteSeq) return;
  renderQuote(ok ? body : null, ok ? "" : body.error);
}

function estimateAll() {
  const text = settings();
  for (const f of state.files) estimate(f, text);
  quote(text);
}

function scheduleEstimates() {
  clearTimeout(state.timer);
  state.timer = setTimeout(estimateAll, 250);
}

function addFiles(list) {
  const text = settings();
  for (const file of list) {
    // Files of one name (every job's Corvanta.cmd) are told apart by a number.
    const same = state.files.filter((f) => f.file.name === file.name).length;
    const name = same ? `${file.name} (${same + 1})` : file.name;
    const entry = { id: state.nextId++, file, name, answer: null, error: "", seq: 0, busy: false };
    state.files.push(entry);
    if (state.selected === null) state.selected = entry.id;
    estimate(entry, text);
  }
  quote(text);
  renderFiles();
  renderResult();
}

// --- rendering -------------------------------------------------------------------

function selectedEntry() {
  return state.files.find((f) => f.id === state.selected) || null;
}

function renderFiles() {
  const list = $("file-list");
  list.replaceChildren();
  for (const f of state.files) {
    const time = f.busy ? "…" : f.answer ? hms(f.answer.ms) : f.error ? "failed" : "";
    const item = el("li", { class: "file" + (f.id === state.selected ? " selected" : "") },
      el("button", { type: "button", class: "pick", title: f.name, "aria-pressed": String(f.id === state.selected),
        onclick: () => { state.selected = f.id; renderFiles(); renderResult(); } }, f.name),
      el("span", { class: "ftime", text: time }),
      el("button", { type: "button", class: "remove", "aria-label": `Remove ${f.name}`,
        onclick: () => removeFile(f.id) }, "×"),
      el("p", { class: "ferror", role: f.error ? "alert" : "status", text: f.error }));
    list.append(item);
  }
}

function removeFile(id) {
  state.files = state.files.filter((f) => f.id !== id);
  if (state.selected === id) state.selected = state.files.length ? state.files[0].id : null;
  renderFiles();
  renderResult();
  quote(settings());
}

function barRow(label, swatchClass, fillClass, part, whole, maxPart) {
  const fill = el("div", { class: `fill ${fillClass}` });
  fill.style.width = `${maxPart > 0 ? (100 * part) / maxPart : 0}%`;
  return el("div", { class: "bar-row" },
    el("span", {}, el("span", { class: `swatch ${swatchClass}` }), label),
    el("div", { class: "track" }, fill),
    el("span", { class: "num", text: hms(part) }),
    el("span", { class: "num share", text: share(part, whole) }));
}

function renderBreakdown(a) {
  const acts = a.breakdown.activities;
  const total = ACTIVITIES.reduce((sum, k) => sum + acts[k].ms, 0);
  const maxAct = Math.max(...ACTIVITIES.map((k) => acts[k].ms));
  $("by-activity").replaceChildren(...ACTIVITIES.map((k) =>
    barRow(ACTIVITY_NAMES[k], `act-${k}`, `act-${k}`, acts[k].ms, total, maxAct)));
  const pens = Object.entries(a.breakdown.pens);
  const maxPen = Math.max(0, ...pens.map(([, v]) => v.ms));
  $("by-pen").replaceChildren(...pens.map(([pen, v]) =>
    barRow(pen === "0" ? "No pen" : `Pen ${pen}`, "pen-fill", "pen-fill", v.ms, total, maxPen)));
}

function renderTimeline(a) {
  const strip = $("timeline");
  strip.replaceChildren();
  const end = a.ms || 1;
  for (const bar of a.timeline || []) {
    const seg = el("div", { class: `seg act-${bar.activity}`,
      title: `${ACTIVITY_NAMES[bar.activity] || bar.activity}: ${hms(bar.startMs)} – ${hms(bar.endMs)}` });
    seg.style.left = `${(100 * bar.startMs) / end}%`;
    seg.style.width = `${Math.max(0.15, (100 * (bar.endMs - bar.startMs)) / end)}%`;
    strip.append(seg);
  }
  $("axis-end").textContent = hms(a.ms);
  const used = new Set((a.timeline || []).map((b) => b.activity));
  $("legend").replaceChildren(...ACTIVITIES.filter((k) => used.has(k)).map((k) =>
    el("span", {}, el("span", { class: `swatch act-${k}` }), ACTIVITY_NAMES[k])));
}

function renderResult() {
  const entry = selectedEntry();
  $("empty").hidden = entry !== null;
  $("result").hidden = entry === null;
  if (!entry) return;
  const a = entry.answer;
  $("result-name").textContent = `${entry.name} · ${$("model").value}`;
  $("result-error").hidden = !entry.error;
  $("result-error").textContent = entry.error ? `${entry.name}: ${entry.error}` : "";
  $("notes").replaceChildren(...(a ? a.notes : []).map((n) => el("li", { text: n })));
  $("details").hidden = !a;
  if (!a) {
    $("job-time").textContent = entry.busy ? "…" : "—";
    $("job-ms").textContent = "—";
    $("cost").textContent = "—";
    $("was").textContent = "";
    return;
  }
  $("job-time").textContent = hms(a.ms);
  $("job-ms").textContent = a.ms.toLocaleString("en-US");
  const was = $("was");
  was.className = "was";
  was.textContent = "";
  if (entry.prevMs !== undefined && entry.prevMs !== a.ms) {
    was.textContent = `was ${hms(entry.prevMs)}`;
    was.classList.add(a.ms < entry.prevMs ? "faster" : "slower");
  }
  $("cost").textContent = money(a.cost);
  const prevCost = entry.prevCost ? money(entry.prevCost) : "";
  $("cost-hint").textContent = !a.cost ? "set a rate to see it"
    : prevCost && prevCost !== money(a.cost) ? `was ${prevCost}` : "machine time at the rate";
  renderBreakdown(a);
  renderTimeline(a);
  showPicture(a.svg);
}

function renderQuote(body, error) {
  const box = $("quote");
  box.hidden = state.files.length < 2;
  const rows = $("quote-rows");
  const foot = $("quote-total");
  rows.replaceChildren();
  foot.replaceChildren();
  if (!body) {
    rows.append(el("tr", {}, el("td", { colspan: "4", class: "bad", text: error || "no quote" })));
    return;
  }
  const amount = (r) => (r.cost === null ? "—" : `${r.cost.toFixed(2)}${r.currency ? " " + r.currency : ""}`);
  for (const r of body.rows)
    rows.append(el("tr", {},
      el("td", { text: r.input }),
      el("td", { class: r.ok ? "" : "bad", text: r.ok ? "OK" : r.status }),
      el("td", { class: "num", text: r.time || "—" }),
      el("td", { class: "num", text: amount(r) })));
  const t = body.total;
  foot.append(el("tr", {}, el("td", { text: "Total" }), el("td", {}),
    el("td", { class: "num", text: t.time || "—" }), el("td", { class: "num", text: amount(t) })));
}

// --- the picture: zoom and pan ------------------------------------------------------

function showPicture(svg) {
  const img = $("picture");
  if (img.dataset.svg === svg) return;
  img.dataset.svg = svg;
  if (img.src) URL.revokeObjectURL(img.src);
  const w = /<svg[^>]*\swidth="([\d.]+)"/.exec(svg), h = /<svg[^>]*\sheight="([\d.]+)"/.exec(svg);
  view.w = w ? Number(w[1]) : 1200;
  view.h = h ? Number(h[1]) : 800;
  img.width = view.w;
  img.height = view.h;
  img.src = URL.createObjectURL(new Blob([svg], { type: "image/svg+xml" }));
  fit();
}

function applyView() {
  $("picture").style.transform = `translate(${view.x}px, ${view.y}px) scale(${view.scale})`;
}

function fit() {
  const port = $("viewport");
  const s = Math.min(port.clientWidth / view.w, port.clientHeight / view.h) || 1;
  view.scale = s;
  view.x = (port.clientWidth - view.w * s) / 2;
  view.y = (port.clientHeight - view.h * s) / 2;
  applyView();
}

function zoom(factor, cx, cy) {
  const port = $("viewport");
  const px = cx ?? port.clientWidth / 2, py = cy ?? port.clientHeight / 2;
  const s = Math.min(40, Math.max(0.05, view.scale * factor));
  view.x = px - ((px - view.x) * s) / view.scale;
  view.y = py - ((py - view.y) * s) / view.scale;
  view.scale = s;
  applyView();
}

function setUpViewport() {
  const port = $("viewport");
  port.addEventListener("wheel", (e) => {
    e.preventDefault();
    const r = port.getBoundingClientRect();
    zoom(e.deltaY < 0 ? 1.2 : 1 / 1.2, e.clientX - r.left, e.clientY - r.top);
  }, { passive: false });
  port.addEventListener("pointerdown", (e) => {
    view.drag = { x: e.clientX - view.x, y: e.clientY - view.y };
    port.setPointerCapture(e.pointerId);
    port.classList.add("dragging");
  });
  port.addEventListener("pointermove", (e) => {
    if (!view.drag) return;
    view.x = e.clientX - view.drag.x;
    view.y = e.clientY - view.drag.y;
    applyView();
  });
  const end = () => { view.drag = null; port.classList.remove("dragging"); };
  port.addEventListener("pointerup", end);
  port.addEventListener("pointercancel", end);
  port.addEventListener("keydown", (e) => {
    const step = 40;
    const moves = { ArrowLeft: [step, 0], ArrowRight: [-step, 0], ArrowUp: [0, step], ArrowDown: [0, -step] };
    if (moves[e.key]) {
      view.x += moves[e.key][0];
      view.y += moves[e.key][1];
      applyView();
    } else if (e.key === "+" || e.key === "=") zoom(1.2);
    else if (e.key === "-") zoom(1 / 1.2);
    else if (e.key === "0") fit();
    else return;
    e.preventDefault();
  });
  $("zoom-in").addEventListener("click", () => zoom(1.25));
  $("zoom-out").addEventListener("click", () => zoom(1 / 1.25));
  $("zoom-fit").addEventListener("click", fit);
}

// --- downloads -----------------------------------------------------------------------

function save(name, data, type) {
  const url = URL.createObjectURL(data instanceof Blob ? data : new Blob([data], { type }));
  const a = el("a", { href: url, download: name });
  document.body.append(a);
  a.click();
  a.remove();
  setTimeout(() => URL.revokeObjectURL(url), 10000);
}

function baseName(entry) {
  return entry.name.replace(/\.[^.]*$/, "") || "job";
}

function setUpDownloads() {
  const withAnswer = (fn) => () => {
    const entry = selectedEntry();
    if (entry && entry.answer) fn(entry, entry.answer);
  };
  $("dl-cmd").addEventListener("click", withAnswer((e, a) =>
    save(`${baseName(e)}.cmd`, a.commands !== undefined ? a.commands : e.file, "text/plain")));
  $("dl-report").addEventListener("click", withAnswer((e, a) => {
    const report = Object.fromEntries(Object.entries(a).filter(([k]) => !REPORT_EXTRAS.includes(k)));
    save(`${baseName(e)}.report.json`, JSON.stringify(report, null, 2) + "\n", "application/json");
  }));
  $("dl-progress").addEventListener("click", withAnswer((e, a) =>
    save(`${baseName(e)}.progress.csv`, a.progressCsv, "text/csv")));
  $("dl-svg").addEventListener("click", withAnswer((e, a) => save(`${baseName(e)}.svg`, a.svg, "image/svg+xml")));
}

// --- files in ------------------------------------------------------------------------

function setUpFiles() {
  const input = $("files");
  $("choose").addEventListener("click", () => input.click());
  input.addEventListener("change", () => {
    addFiles([...input.files]);
    input.value = "";
  });
  const drop = $("drop");
  document.addEventListener("dragover", (e) => {
    e.preventDefault();
    drop.classList.add("over");
  });
  document.addEventListener("dragleave", (e) => {
    if (e.relatedTarget === null) drop.classList.remove("over");
  });
  document.addEventListener("drop", (e) => {
    e.preventDefault();
    drop.classList.remove("over");
    if (e.dataTransfer && e.dataTransfer.files.length) addFiles([...e.dataTransfer.files]);
  });
}

document.addEventListener("DOMContentLoaded", () => {
  buildPenRows();
  setUpFiles();
  setUpViewport();
  setUpDownloads();
  $("settings").addEventListener("input", scheduleEstimates);
  $("settings").addEventListener("submit", (e) => e.preventDefault());
  $("model").addEventListener("change", estimateAll);
  window.addEventListener("resize", () => { if (selectedEntry()) fit(); });
});
