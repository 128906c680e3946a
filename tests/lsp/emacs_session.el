;;; emacs_session.el --- Emacs with eglot as a client of korva-lsp  -*- lexical-binding: t -*-
;; Run in batch by run_emacs.sh: opens a project with Japanese labels (CP932
;; on disk), and checks from the client's side the diagnostics, a hover, a
;; definition, the references and a rename applied to the buffer. Prints a
;; transcript; exits 0 when every check holds, 1 otherwise.

(dolist (dir (directory-files "/usr/share/emacs/site-lisp/elpa" t "^[^.]"))
  (add-to-list 'load-path dir))
(require 'eglot)
(require 'xref)

(defvar korva-failures 0)
(defun korva-say (format-string &rest args)
  (princ (concat (apply #'format format-string args) "\n")))
(defun korva-check (ok what)
  (korva-say "%s %s" (if ok "ok  " "FAIL") what)
  (unless ok (setq korva-failures (1+ korva-failures))))
(defun korva-wait (predicate seconds)
  "Wait until PREDICATE holds or SECONDS pass; the value of PREDICATE."
  (let ((deadline (+ (float-time) seconds)) (value nil))
    (while (and (not (setq value (funcall predicate))) (< (float-time) deadline))
      (accept-process-output nil 0.05))
    value))

(define-derived-mode korva-mode prog-mode "KORVA")
(let ((folder (file-name-as-directory (getenv "KORVA_PROJECT"))))
  ;; The project's folder is the workspace; no version control is needed.
  (add-hook 'project-find-functions (lambda (_dir) (cons 'transient folder)))
  (add-to-list 'eglot-server-programs `(korva-mode . (,(getenv "KORVA_LSP"))))
  (setq eglot-sync-connect 10 eglot-autoshutdown t)
  (let ((coding-system-for-read 'cp932))
    (find-file (concat folder "main.as")))
  (korva-mode)
  (apply #'eglot (eglot--guess-contact))
  (korva-check (korva-wait #'eglot-current-server 10) "korva-lsp started")

  (defun korva-goto (line text)
    "Point to TEXT on LINE (from 1)."
    (goto-char (point-min))
    (forward-line (1- line))
    (search-forward text (line-end-position))
    (goto-char (match-beginning 0)))

  ;; Diagnostics: the one undefined name, under its characters.
  (korva-wait (lambda () (flymake-diagnostics)) 10)
  (let ((diagnostics (flymake-diagnostics)))
    (dolist (d diagnostics)
      (korva-say "diagnostic %d: %s [%s]" (line-number-at-pos (flymake-diagnostic-beg d))
                 (flymake-diagnostic-text d)
                 (buffer-substring (flymake-diagnostic-beg d) (flymake-diagnostic-end d))))
    (korva-check (= (length diagnostics) 1) "one diagnostic")
    (korva-check (and diagnostics
                      (equal (buffer-substring (flymake-diagnostic-beg (car diagnostics))
                                               (flymake-diagnostic-end (car diagnostics)))
                             "未定義"))
                 "it lies under 未定義 on line 10"))

  ;; Hover on the constant's use.
  (korva-goto 2 "表示値")
  (let* ((hover (jsonrpc-request (eglot-current-server) :textDocument/hover
                                 (eglot--TextDocumentPositionParams)))
         (text (plist-get (plist-get hover :contents) :value)))
    (korva-say "hover 表示値: %s" (replace-regexp-in-string "\n" " | " (or text "")))
    (korva-check (and text (string-match-p "constant, value 0x05" text))
                 "the hover gives the constant's value"))

  ;; Definition of ループ from the jump on line 4, through xref.
  (korva-goto 4 "ループ")
  (let* ((identifier (xref-backend-identifier-at-point 'eglot))
         (items (xref-backend-definitions 'eglot identifier))
         (location (and items (xref-item-location (car items)))))
    (korva-say "definition %s: line %s" identifier (and location (xref-location-line location)))
    (korva-check (and location (= (xref-location-line location) 5))
                 "ループ is defined on line 5"))

  ;; References of 表示: the subroutine and its call.
  (korva-goto 7 "表示")
  (let* ((identifier (xref-backend-identifier-at-point 'eglot))
         (items (xref-backend-references 'eglot identifier))
         (lines (sort (mapcar (lambda (item) (xref-location-line (xref-item-location item))) items)
                      #'<)))
    (korva-say "references %s: lines %S" identifier lines)
    (korva-check (equal lines '(3 7)) "表示 is used on lines 3 and 7"))

  ;; Rename ループ to 繰り返し, applied to the buffer.
  (korva-goto 5 "ループ")
  (eglot-rename "繰り返し")
  (let ((text (buffer-string)))
    (korva-say "after rename: %d 繰り返し, %d ループ"
               (how-many "繰り返し" (point-min) (point-max))
               (how-many "ループ" (point-min) (point-max)))
    (korva-check (and (= (how-many "繰り返し" (point-min) (point-max)) 2)
                      (= (how-many "ループ" (point-min) (point-max)) 0)
                      (string-match-p "===->繰り返し" text))
                 "the rename changed the label and its jump"))

  ;; A rename onto an instruction is refused.
  (korva-goto 3 "表示")
  (let ((refused (condition-case err (progn (eglot-rename "NOP") nil)
                   (error (error-message-string err)))))
    (korva-say "rename to NOP: %s" refused)
    (korva-check (and refused (string-match-p "NOP" refused)) "a rename onto NOP is refused"))

  (set-buffer-modified-p nil)
  (ignore-errors (eglot-shutdown (eglot-current-server)))
  (korva-say (if (= korva-failures 0) "all checks passed"
               (format "%d check(s) failed" korva-failures)))
  (kill-emacs (if (= korva-failures 0) 0 1)))
