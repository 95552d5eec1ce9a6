// A sensor's charts, drawn with dygraphs from the server's answers: load and displacement
// against time (temperature on the second axis, the alarm levels as lines, rings on the
// readings that raised events, gaps where a value is missing), fetched again at the
// chart's pixel width whenever the view is zoomed; and the profiles along the bolt.
"use strict";
(function () {
  var T = Tarnwell;
  var page = document.getElementById("sensorPage");
  if (!page || typeof Dygraph === "undefined") return;
  var api = page.dataset.api;
  var LevelColours = { Alert: "#e69500", Action: "#d01c1c", Stale: "#8a8a8a" };
  var charts = {};
  window.TarnwellCharts = charts;

  function colourOf(name) {
    if (/action/i.test(name)) return LevelColours.Action;
    if (/stale/i.test(name)) return LevelColours.Stale;
    return LevelColours.Alert;
  }

  function pixelWidth(div) {
    return Math.max(10, Math.min(4000, Math.round(div.clientWidth || 1000)));
  }

  // The index of the row whose time is nearest t (rows in time order).
  function nearestRow(rows, t) {
    var lo = 0, hi = rows.length - 1;
    while (lo < hi) {
      var mid = (lo + hi) >> 1;
      if (+rows[mid][0] < t) lo = mid + 1; else hi = mid;
    }
    if (lo > 0 && Math.abs(rows[lo - 1][0] - t) < Math.abs(rows[lo][0] - t)) lo -= 1;
    return lo;
  }

  // dygraphs takes a time axis from Date values in the first column.
  function withDates(rows) {
    return rows.map(function (r) { return [new Date(r[0])].concat(r.slice(1)); });
  }

  // The value drawn for a gauge position at the event's time: the event's reading's row,
  // or the nearest row that has a value in that column.
  function eventValue(answer, e) {
    if (typeof e.value === "number") return e.value;
    var col = -1;
    answer.labels.forEach(function (l, i) { if (i > 0 && col < 0 && new RegExp("#" + e.position + "$").test(l)) col = i; });
    if (col < 0) return null;
    var rows = answer.rows;
    var i = nearestRow(rows, e.t);
    for (var d = 0; d < 4; ++d) {
      var a = rows[i - d], b = rows[i + d];
      if (a && a[col] !== null) return a[col];
      if (b && b[col] !== null) return b[col];
    }
    return null;
  }

  // Level lines and event rings, under the series.
  function underlay(chart) {
    return function (ctx, area, g) {
      var answer = chart.answer;
      if (!answer) return;
      ctx.save();
      ctx.lineWidth = 1.5;
      ctx.setLineDash([6, 4]);
      (answer.levels || []).forEach(function (l) {
        var y = g.toDomYCoord(l.value, 0);
        if (!(y >= area.y && y <= area.y + area.h)) return;
        ctx.strokeStyle = colourOf(l.name);
        ctx.beginPath();
        ctx.moveTo(area.x, y);
        ctx.lineTo(area.x + area.w, y);
        ctx.stroke();
        ctx.fillStyle = ctx.strokeStyle;
        ctx.fillText(l.name, area.x + 4, y - 3);
      });
      ctx.setLineDash([]);
      ctx.lineWidth = 2;
      (answer.events || []).forEach(function (e) {
        var v = eventValue(answer, e);
        if (v === null) return;
        var p = g.toDomCoords(e.t, v, 0);
        if (p[0] < area.x || p[0] > area.x + area.w) return;
        ctx.strokeStyle = colourOf(e.level || "");
        ctx.beginPath();
        ctx.arc(p[0], p[1], 6, 0, 2 * Math.PI);
        ctx.stroke();
      });
      ctx.restore();
    };
  }

  function seriesUrl(kind, from, to, width) {
    var q = "kind=" + kind + "&width=" + width;
    if (from !== null) q += "&from=" + encodeURIComponent(T.stamp(from)) + "&to=" + encodeURIComponent(T.stamp(to));
    return api + "/series?" + q;
  }

  function timeChart(id, kind, ylabel) {
    var div = document.getElementById(id);
    var note = document.getElementById(id + "Note");
    var chart = { graph: null, answer: null, asked: 0 };
    charts[kind] = chart;

    function describe(answer) {
      note.textContent = answer.count + (answer.count === 1 ? " reading" : " readings") +
        (answer.rows.length < answer.count ? ", drawn as the lowest and highest of each pixel column" : "");
    }

    // from/to: the period in ms (null: all of it).
    function load(from, to) {
      var asked = ++chart.asked;
      T.getJson(seriesUrl(kind, from, to, pixelWidth(div))).then(function (answer) {
        if (asked !== chart.asked) return;  // a later request is on its way
        chart.answer = answer;
        describe(answer);
        if (!chart.graph) {
          if (answer.rows.length === 0) {
            note.textContent = "No readings to draw.";
            return;
          }
          create(answer);
          return;
        }
        // An empty period still needs one row to keep the chart's axes.
        var rows = answer.rows.length ? answer.rows
                                      : [[from || 0].concat(answer.labels.slice(1).map(function () { return null; }))];
        var opts = { file: withDates(rows) };
        opts.dateWindow = from === null ? null : [from, to];
        chart.graph.updateOptions(opts);
      }).catch(function (err) {
        note.textContent = "The chart could not be loaded (" + err.message + ").";
      });
    }

    function create(answer) {
      var series = {};
      if (answer.labels.indexOf("Temperature") > 0) series.Temperature = { axis: "y2", strokePattern: [2, 2] };
      chart.graph = new Dygraph(div, withDates(answer.rows), {
        labels: answer.labels,
        labelsUTC: true,
        ylabel: ylabel,
        y2label: series.Temperature ? "Temperature (\u00b0C)" : undefined,
        series: series,
        axes: { x: { axisLabelWidth: 70 }, y2: { independentTicks: true } },
        connectSeparatedPoints: false,
        labelsSeparateLines: false,
        legend: "onmouseover",
        underlayCallback: underlay(chart),
        zoomCallback: function (minX, maxX) {
          // A double-click puts the chart back to the whole period: ask for all of it.
          if (!chart.graph.isZoomed("x")) load(null, null); else load(minX, maxX);
        },
      });
    }

    load(null, null);
  }

  function profileChart(id, kind, ylabel) {
    var div = document.getElementById(id);
    var note = document.getElementById(id + "Note");
    T.getJson(api + "/profile?kind=" + kind).then(function (answer) {
      var order = answer.positions.map(function (p, i) { return i; })
        .sort(function (a, b) { return answer.positions[a] - answer.positions[b]; });
      var rows = order.map(function (i) {
        return [answer.positions[i]].concat(answer.profiles.map(function (p) {
          var v = p.values[i];
          return typeof v === "number" ? v : null;
        }));
      });
      if (rows.length === 0 || answer.profiles.length === 0) {
        note.textContent = "No reading to draw.";
        return;
      }
      var labels = ["Position (m)"].concat(answer.profiles.map(function (p) { return (p.date || "").replace("T", " "); }));
      charts["profile-" + kind] = {
        graph: new Dygraph(div, rows, { labels: labels, xlabel: "Position (m)", ylabel: ylabel, drawPoints: true,
                                        pointSize: 3, legend: "onmouseover" }),
        answer: answer,
      };
    }).catch(function (err) {
      note.textContent = "The profile could not be loaded (" + err.message + ").";
    });
  }

  timeChart("chartLoad", "load", "Load (t)");
  timeChart("chartDisp", "disp", "Displacement (microns)");
  profileChart("profileLoad", "load", "Load (t)");
  profileChart("profileDisp", "disp", "Displacement (microns)");
  profileChart("profileShear", "shear", "Shear strain (u strain)");

  // The CSV period as whole days: from the start of the first to the end of the last.
  var csv = document.getElementById("csv");
  if (csv) csv.addEventListener("submit", function (ev) {
    ev.preventDefault();
    var from = csv.elements.from.value, to = csv.elements.to.value;
    var q = [];
    if (from) q.push("from=" + encodeURIComponent(from + "T00:00:00"));
    if (to) q.push("to=" + encodeURIComponent(to + "T23:59:59"));
    window.location.href = csv.getAttribute("action") + (q.length ? "?" + q.join("&") : "");
  });
})();
