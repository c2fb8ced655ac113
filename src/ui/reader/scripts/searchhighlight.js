// Page script of the reader: marks every occurrence of a search term on the
// page with the "searchhighlight" style and removes the marks again. It runs
// in the reader's own JavaScript world after selection.js, and splits text
// through it so that the numbering of highlight positions stays the same.
(function () {
    'use strict';
    var MARK_CLASS = 'qmSearchHighlight';
    var STYLE = 'background-color: #ffef5e; color: #000;';

    window.clearSearchHighlight = function () {
        var marks = document.querySelectorAll('span.' + MARK_CLASS);
        for (var i = 0; i < marks.length; ++i) {
            var m = marks[i];
            var parent = m.parentNode;
            while (m.firstChild)
                parent.insertBefore(m.firstChild, m);
            parent.removeChild(m);
        }
        return String(marks.length);
    };

    // Marks the term case-insensitively; returns the number of marks.
    window.highlightSearchTerm = function (term) {
        window.clearSearchHighlight();
        if (!term || !document.body)
            return '0';
        var needle = String(term).toLowerCase();
        var walker = document.createTreeWalker(document.body, NodeFilter.SHOW_TEXT, null);
        var nodes = [];
        for (var n = walker.nextNode(); n; n = walker.nextNode()) {
            var parent = n.parentNode && n.parentNode.nodeName.toUpperCase(); // lower case in XHTML
            if (parent !== 'SCRIPT' && parent !== 'STYLE')
                nodes.push(n);
        }
        var count = 0;
        nodes.forEach(function (node) {
            var at = node.data.toLowerCase().indexOf(needle);
            while (at >= 0) {
                var match = window.qmSplitText(node, at);
                node = window.qmSplitText(match, needle.length);
                var span = document.createElement('span');
                span.className = MARK_CLASS;
                span.setAttribute('style', STYLE);
                match.parentNode.insertBefore(span, match);
                span.appendChild(match);
                ++count;
                at = node.data.toLowerCase().indexOf(needle);
            }
        });
        return String(count);
    };
})();
