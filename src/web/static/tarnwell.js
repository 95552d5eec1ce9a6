// Shared by the pages' scripts: fetching JSON, building elements (text is always set as
// text, never as HTML) and the texts the pages show.
"use strict";
var Tarnwell = (function () {
  function getJson(url) {
    return fetch(url, { credentials: "same-origin", headers: { Accept: "application/json" } }).then(function (r) {
      if (r.status === 401) {
        // The session ended: the page itself leads to the login.
        window.location.reload();
        throw new Error("not logged in");
      }
      if (!r.ok) throw new Error("HTTP " + r.status);
      return r.json();
    });
  }

  function el(tag, attrs, text) {
    var e = document.createElement(tag);
    if (attrs) Object.keys(attrs).forEach(function (k) { e.setAttribute(k, attrs[k]); });
    if (text !== undefined && text !== null) e.textContent = String(text);
    return e;
  }

  function ageText(days) {
    if (days === null || days === undefined) return "";
    var d = Math.max(0, days);
    if (d < 1 / 24) return Math.round(d * 24 * 60) + " min ago";
    if (d < 2) return Math.round(d * 24) + " h ago";
    return Math.round(d) + " days ago";
  }

  function number(v) {
    return typeof v === "number" ? v.toFixed(2) : "";
  }

  function stateMark(word, colour) {
    var s = el("span", { class: colour ? "state" : "state state-none" }, word);
    if (colour) s.style.background = colour;
    return s;
  }

  function sensorPath(id) {
    return "/sensor/" + encodeURIComponent(id);
  }

  // "2026-12-08T14:05:00" from a time value that holds the mine's clock time as UTC.
  function stamp(ms) {
    return new Date(ms).toISOString().slice(0, 19);
  }

  return { getJson: getJson, el: el, ageText: ageText, number: number, stateMark: stateMark,
           sensorPath: sensorPath, stamp: stamp };
})();
