// The alarms page refreshes itself every 45 s, so a new alarm, a closed one or another
// person's acknowledgement shows without a click. It waits while an acknowledgement is being
// made (a box ticked, a note typed or the note in use), so nothing chosen or typed is lost.
"use strict";
(function () {
  var RefreshMs = 45000;

  function untouched() {
    var form = document.getElementById("acknowledge");
    if (!form) return true;
    if (form.querySelector("input[name=ids]:checked")) return false;
    var note = document.getElementById("note");
    return !note || (note.value === "" && document.activeElement !== note);
  }

  function refresh() {
    // A fresh GET of the page shown (never a repeat of the form's POST).
    if (untouched()) window.location.replace(window.location.href);
  }

  window.setInterval(refresh, RefreshMs);
  window.TarnwellAlarms = { refresh: refresh, untouched: untouched };
})();
