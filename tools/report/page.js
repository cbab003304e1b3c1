// Draws the charts of kadrel report's page from its data section; the
// tables and messages are in the page already.
(function () {
    "use strict";
    var data = JSON.parse(document.getElementById("data").textContent);
    var palette = ["#888888", "#1f77b4", "#d62728", "#9467bd", "#8c564b", "#2ca02c", "#ff7f0e", "#17becf",
                   "#bcbd22", "#e377c2", "#7f7f7f", "#006d2c", "#a50f15", "#54278f", "#08519c", "#fd8d3c", "#636363"];
    var causeNames = ["unknown", "kill", "death", "team-kill", "team-death", "prize", "flag-victory", "soccer-goal",
                      "donation-given", "donation-received", "purchase", "cgive", "ctake", "creset", "undo",
                      "rollback", "set"];
    function colour(cause) { return palette[Math.max(0, causeNames.indexOf(cause)) % palette.length]; }
    function width(element) { return Math.max(320, Math.min(1100, element.clientWidth || 1000)); }
    function utc(seconds) { return uPlot.tzDate(new Date(seconds * 1000), "Etc/UTC"); }
    function number(value) { return value == null ? "" : Math.round(value).toLocaleString("en-US"); }

    // A bucket's room on each side, so that a single bucket shows too.
    function timeScale(times, step) {
        return {time: true, range: [times[0] - step, times[times.length - 1] + step]};
    }
    function bars() { return uPlot.paths.bars({size: [0.8, 80]}); }

    function supply(element) {
        var s = data.supply;
        return new uPlot({
            width: width(element), height: 300, tzDate: utc,
            scales: {x: {time: true}},
            axes: [{}, {size: 80, values: function (u, v) { return v.map(number); }}],
            series: [{}, {label: "credits held", stroke: "#1f77b4", width: 2, fill: "rgba(31,119,180,0.1)",
                          value: function (u, v) { return number(v); }}]
        }, [s.times, s.values], element);
    }

    // Each cause a band on the one before it: created upwards, destroyed
    // downwards. The bars are drawn largest first, so each band shows.
    function flows(element) {
        var f = data.flows, series = [{}], columns = [f.times], raw = [null];
        ["created", "destroyed"].forEach(function (side) {
            var sums = f.times.map(function () { return 0; }), stacked = [];
            f.causes.forEach(function (cause) {
                sums = sums.map(function (sum, i) { return sum + cause[side][i]; });
                stacked.push({cause: cause.cause, values: sums, own: cause[side]});
            });
            stacked.reverse().forEach(function (band) {
                series.push({label: band.cause + " " + side, fill: colour(band.cause), stroke: colour(band.cause),
                             paths: bars(), points: {show: false},
                             value: (function (own) { return function (u, v, s, i) { return i == null ? "" : number(own[i]); }; })(band.own)});
                columns.push(band.values);
                raw.push(band.own);
            });
        });
        return new uPlot({
            width: width(element), height: 360, tzDate: utc, legend: {show: false},
            scales: {x: timeScale(f.times, f.width)},
            axes: [{}, {size: 80, values: function (u, v) { return v.map(number); }}],
            series: series
        }, columns, element);
    }

    // Bars over labels rather than times.
    function labelled(element, labels, values, label, fill) {
        var xs = labels.map(function (l, i) { return i; }), whole = [];
        for (var p = 1; p <= 1e9; p *= 10) whole.push(p, 2 * p, 5 * p);
        return new uPlot({
            width: width(element), height: 300,
            scales: {x: {time: false, range: [-0.6, labels.length - 0.4]}},
            axes: [{values: function (u, v) { return v.map(function (i) { return labels[i] == null ? "" : labels[i]; }); },
                    splits: function () { return xs; }, size: 50},
                   {size: 80, incrs: whole, values: function (u, v) { return v.map(number); }}],
            series: [{value: function (u, i) { return labels[i] == null ? "" : labels[i]; }},
                     {label: label, fill: fill, stroke: fill, paths: bars(), points: {show: false},
                      value: function (u, v) { return number(v); }}]
        }, [xs, values], element);
    }

    function shop(element) {
        return labelled(element, data.items.map(function (item) { return item.name; }),
                        data.items.map(function (item) { return item.spent; }), "credits spent", "#ff7f0e");
    }

    function spread(element) {
        return labelled(element, data.wealth.histogram.labels, data.wealth.histogram.counts, "accounts", "#2ca02c");
    }

    var charts = {supply: supply, flows: flows, shop: shop, spread: spread};
    Array.prototype.forEach.call(document.querySelectorAll("div.chart"), function (element) {
        charts[element.getAttribute("data-chart")](element);
    });
    // When the charts stood drawn, for whoever checks that the page is quick.
    document.documentElement.setAttribute("data-drawn-ms", String(Math.round(performance.now())));
    var legend = document.getElementById("flows-legend");
    if (legend) {
        data.flows.causes.forEach(function (cause) {
            var key = document.createElement("span");
            key.className = "key";
            key.innerHTML = "<i></i>";
            key.firstChild.style.background = colour(cause.cause);
            key.appendChild(document.createTextNode(cause.cause));
            legend.appendChild(key);
        });
    }
})();
