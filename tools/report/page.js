// Draws the charts of kadrel report's page from its data section; the
// tables and messages are in the page already.
(function () {
    "use strict";
    var data = JSON.parse(document.getElementById("data").textContent);
    // Kelly's colours of greatest contrast, made to tell categories apart,
    // without white: a cause's number picks its colour, so every cause has
    // its own and keeps it from page to page.
    var palette = ["#222222", "#f3c300", "#875692", "#f38400", "#a1caf1", "#be0032", "#c2b280", "#848482",
                   "#008856", "#e68fac", "#0067a5", "#f99379", "#604e97", "#f6a600", "#b3446c", "#dcd300",
                   "#882d17", "#8db600", "#654522", "#e25822", "#2b3d26"];
    function colour(number) { return palette[number % palette.length]; }
    function number(value) { return value == null ? "" : Math.round(value).toLocaleString("en-US"); }
    function utc(seconds) { return uPlot.tzDate(new Date(seconds * 1000), "Etc/UTC"); }
    // The tables' form: 2026-12-09T01:16:05Z.
    function iso(seconds) { return new Date(seconds * 1000).toISOString().replace(".000", ""); }

    // Times on an axis in the tables' form, cut to what the ticks' spacing
    // needs: the date where it changes, the time of day (UTC) below it.
    function timeTicks(u, splits) {
        var step = splits.length > 1 ? splits[1] - splits[0] : 86400, previous = "";
        return splits.map(function (v) {
            var text = iso(v), day = text.slice(0, 10), clock = text.slice(11, step % 60 ? 19 : 16);
            var label = step >= 86400 ? day : clock + (day != previous ? "\n" + day : "");
            previous = day;
            return label;
        });
    }
    var font = "12px system-ui, sans-serif";
    // Ticks a whole number of seconds apart: the history's times have no finer grain.
    var seconds = [1, 2, 5, 10, 15, 30, 60, 120, 300, 600, 900, 1800, 3600, 7200, 10800, 21600, 43200, 86400,
                   172800, 604800, 2592000, 31536000];
    function timeAxis() {
        return {label: "time (UTC)", labelSize: 20, labelFont: font, font: font, space: 90, size: 48,
                incrs: seconds, values: timeTicks};
    }
    function creditAxis(label) {
        return {label: label, labelSize: 20, labelFont: font, font: font, size: 76,
                values: function (u, v) { return v.map(number); }};
    }
    // Room on the right for the last time's label, which stands centred on its tick.
    var padding = [12, 36, 0, 0];
    // A bucket's room on each side, so that a single bucket shows too.
    function timeScale(times, step) {
        return {time: true, range: [times[0] - step, times[times.length - 1] + step]};
    }
    function bars() { return uPlot.paths.bars({size: [0.8, 80]}); }

    function supply(element) {
        var s = data.supply;
        return new uPlot({
            width: element.clientWidth, height: 300, tzDate: utc, padding: padding,
            scales: {x: timeScale(s.times, s.width)},
            axes: [timeAxis(), creditAxis("credits held")],
            series: [{label: "time", value: function (u, v) { return v == null ? "" : iso(v); }},
                     {label: "credits held", stroke: "#0067a5", width: 2, fill: "rgba(0,103,165,0.1)",
                      paths: uPlot.paths.stepped({align: 1}),
                      value: function (u, v) { return number(v); }}]
        }, [s.times, s.values], element);
    }

    // Each cause a band on the one before it: created upwards, destroyed
    // downwards, drawn largest first so that each band shows. A legend of
    // causes gives the values under the cursor, or the range's totals, and a
    // click on a cause hides it and stacks the others without it.
    function flows(element) {
        var f = data.flows, hidden = {}, series = [{}], bands = [];
        // A bar stands over the middle of its bucket.
        var middles = f.times.map(function (t) { return t + f.width / 2; });
        ["created", "destroyed"].forEach(function (side) {
            f.causes.slice().reverse().forEach(function (cause) {
                bands.push({cause: cause, side: side});
                series.push({label: cause.cause + " " + side, fill: colour(cause.number),
                             stroke: colour(cause.number), paths: bars(), points: {show: false}});
            });
        });
        function columns() {
            var sums = {created: f.times.map(function () { return 0; }), destroyed: f.times.map(function () { return 0; })};
            var stacked = {};
            f.causes.forEach(function (cause) {
                ["created", "destroyed"].forEach(function (side) {
                    if (!hidden[cause.number]) {
                        sums[side] = sums[side].map(function (sum, i) { return sum + cause[side][i]; });
                    }
                    stacked[side + cause.number] = sums[side];
                });
            });
            return [middles].concat(bands.map(function (band) { return stacked[band.side + band.cause.number]; }));
        }
        var legend = document.createElement("div");
        legend.className = "legend";
        element.parentNode.insertBefore(legend, element.nextSibling);
        var heading = document.createElement("p");
        legend.appendChild(heading);
        var rows = f.causes.map(function (cause) {
            var row = document.createElement("button");
            row.type = "button";
            row.setAttribute("aria-pressed", "true");
            row.innerHTML = "<i></i><span class=\"name\"></span><span class=\"in\"></span><span class=\"out\"></span>";
            row.firstChild.style.background = colour(cause.number);
            row.querySelector(".name").textContent = cause.cause;
            row.addEventListener("click", function () {
                hidden[cause.number] = !hidden[cause.number];
                row.setAttribute("aria-pressed", hidden[cause.number] ? "false" : "true");
                bands.forEach(function (band, i) {
                    if (band.cause === cause) chart.setSeries(i + 1, {show: !hidden[cause.number]});
                });
                chart.setData(columns());
            });
            legend.appendChild(row);
            return row;
        });
        function sum(values) { return values.reduce(function (a, b) { return a + b; }, 0); }
        function show(at) {
            heading.textContent = at == null
                ? "The range's totals; point at a bar for its " + bucketName() + ". A click on a cause hides it."
                : "From " + iso(f.times[at]) + ", one " + bucketName() + ":";
            f.causes.forEach(function (cause, i) {
                rows[i].querySelector(".in").textContent = "+" + number(at == null ? sum(cause.created) : cause.created[at]);
                rows[i].querySelector(".out").textContent = number(at == null ? sum(cause.destroyed) : cause.destroyed[at]);
            });
        }
        var chart = new uPlot({
            width: element.clientWidth, height: 360, tzDate: utc, padding: padding, legend: {show: false},
            scales: {x: timeScale(middles, f.width)},
            axes: [timeAxis(), creditAxis("credits per " + bucketName())],
            series: series,
            hooks: {setCursor: [function (u) { show(u.cursor.idx); }]}
        }, columns(), element);
        show(null);
        return chart;
    }
    function bucketName() { return document.querySelector("[data-bucket]").getAttribute("data-bucket"); }

    var charts = {supply: supply, flows: flows};
    var drawn = [];
    Array.prototype.forEach.call(document.querySelectorAll("div.chart"), function (element) {
        drawn.push({element: element, chart: charts[element.getAttribute("data-chart")](element)});
    });
    // The charts follow their column's width: a narrow window or a phone
    // never clips them.
    if (window.ResizeObserver) {
        var observer = new ResizeObserver(function () {
            drawn.forEach(function (d) {
                if (d.element.clientWidth != d.chart.width) {
                    d.chart.setSize({width: d.element.clientWidth, height: d.chart.height});
                }
            });
        });
        drawn.forEach(function (d) { observer.observe(d.element); });
    }
    // When the charts stood drawn, for whoever checks that the page is quick.
    document.documentElement.setAttribute("data-drawn-ms", String(Math.round(performance.now())));
})();
