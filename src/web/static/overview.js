// The overview refreshes itself: every 45 s it asks for the sensor list with the page's
// own filter (the same query) and redraws the rows, so the filter chosen stays.
"use strict";
(function () {
  var RefreshMs = 45000;
  var T = Tarnwell;

  function row(s) {
    var tr = T.el("tr");
    var state = T.el("td");
    state.appendChild(T.stateMark(s.state, s.colour));
    tr.appendChild(state);
    var sensor = T.el("td");
    sensor.appendChild(T.el("a", { href: T.sensorPath(s.id) }, s.id));
    tr.appendChild(sensor);
    tr.appendChild(T.el("td", null, s.mineLevel));
    tr.appendChild(T.el("td", null, s.location));
    tr.appendChild(T.el("td", null, s.lastReading ? s.lastReading.replace("T", " ") : ""));
    var age = T.el("td", null, T.ageText(s.ageDays));
    if (s.stale) {
      age.appendChild(document.createTextNode(" "));
      age.appendChild(T.el("span", { class: "stale" }, "stale"));
    }
    tr.appendChild(age);
    tr.appendChild(T.el("td", { class: "num" }, T.number(s.latestLoad)));
    tr.appendChild(T.el("td", { class: "num" }, T.number(s.peakLoad)));
    tr.appendChild(T.el("td", null, s.headline));
    return tr;
  }

  function show(answer) {
    var body = document.querySelector("#sensors tbody");
    var rows = document.createDocumentFragment();
    answer.sensors.forEach(function (s) { rows.appendChild(row(s)); });
    body.replaceChildren(rows);
    var count = document.getElementById("count");
    count.textContent = count.textContent.replace(/^\d+/, String(answer.sensors.length));
    document.getElementById("generated").textContent = (answer.generatedAt || "").replace("T", " ");
    document.getElementById("none").hidden = answer.sensors.length > 0;
    document.body.dataset.refreshed = String((Number(document.body.dataset.refreshed) || 0) + 1);
  }

  function refresh() {
    T.getJson("/api/sensors" + window.location.search).then(show).catch(function () {
      // Kept as it was; the next round tries again.
    });
  }

  window.setInterval(refresh, RefreshMs);
  window.TarnwellOverview = { refresh: refresh };
})();
