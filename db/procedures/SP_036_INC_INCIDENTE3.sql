-- params: ORDEM_SERVICO_TIPO_ID, FLAG_GRAVA_OBSERVACAO, LISTA_INCIDENTE_ID, OBSERVACAO, LISTA_JUSTIFICATIVA, LISTA_FLAG_SELECIONADO, USUARIO_INTERNET_ID, LISTA_FLAG_TIPO_CADASTRO
-- Records the incident checklist of a service-order type record: replaces the
-- incidents recorded for it with the rows of the packed lists, and stores the
-- general observation when FLAG_GRAVA_OBSERVACAO is 'S'.
--
-- The lists carry one element per chosen row, in row order: incident type ids
-- (","), justifications ("|"), selection flags (",") and registration kinds
-- (","). A list with no text travels as NULL: the ids and flags then mean "no
-- incident at all"; the justifications and kinds mean "none for any row" (one
-- row with an empty justification cannot be told from no rows at all).
--
-- Answers retorno 0, or retorno 1 with the reason in Msg_Ret and nothing
-- written.

-- Unpack the four lists, one row per element, numbered from 1, in one pass
-- over each list whatever it holds. json_quote escapes the list (a NUL becomes
-- \u0000), every separator becomes the end of one JSON string and the start
-- of the next, and json_each walks the array. The decoded elements serve only
-- for their lengths in bytes: json_each cuts a text at a NUL, so a NUL is
-- decoded as \u0001 instead (the same length), after '\\' is respelled so that
-- a typed backslash-u0000 is not taken for one. Each element is then copied
-- byte for byte out of the list, NULs and all. The lists are read as blobs
-- straight from the arguments, never carried along the element rows: a copy
-- of the whole list per element would make the work grow with the square of
-- its length.
WITH
  listas (LISTA, TEXTO, SEPARADOR) AS (
    VALUES ('INCIDENTE', CAST(:LISTA_INCIDENTE_ID AS TEXT), ','),
           ('JUSTIFICATIVA', CAST(:LISTA_JUSTIFICATIVA AS TEXT), '|'),
           ('SELECIONADO', CAST(:LISTA_FLAG_SELECIONADO AS TEXT), ','),
           ('TIPO_CADASTRO', CAST(:LISTA_FLAG_TIPO_CADASTRO AS TEXT), ',')
  ),
  elementos (LISTA, POSICAO, TAMANHO) AS (
    SELECT l.LISTA, e.key + 1, length(CAST(e.value AS BLOB))
      FROM listas l,
           json_each('[' || replace(replace(replace(json_quote(l.TEXTO), '\\', '\u005c'),
                                            '\u0000', '\u0001'),
                                    l.SEPARADOR, '","') || ']') e
     WHERE l.TEXTO IS NOT NULL
  ),
  posicionados (LISTA, POSICAO, TAMANHO, INICIO) AS (
    SELECT LISTA, POSICAO, TAMANHO,
           sum(TAMANHO + 1) OVER (PARTITION BY LISTA ORDER BY POSICAO) - TAMANHO
      FROM elementos
  )
INSERT INTO INCIDENTE_OS_CARGA (LISTA, POSICAO, ITEM)
SELECT LISTA, POSICAO,
       CAST(substr(CASE LISTA
                     WHEN 'INCIDENTE'     THEN CAST(:LISTA_INCIDENTE_ID AS BLOB)
                     WHEN 'JUSTIFICATIVA' THEN CAST(:LISTA_JUSTIFICATIVA AS BLOB)
                     WHEN 'SELECIONADO'   THEN CAST(:LISTA_FLAG_SELECIONADO AS BLOB)
                     ELSE CAST(:LISTA_FLAG_TIPO_CADASTRO AS BLOB)
                   END, INICIO, TAMANHO) AS TEXT)
  FROM posicionados;

-- The refusals, in the order they are reported.
INSERT INTO INCIDENTE_OS_CARGA (LISTA, POSICAO, ITEM)
SELECT 'RECUSA', 1, 'Ordem de serviço tipo não informada.'
 WHERE :ORDEM_SERVICO_TIPO_ID IS NULL
UNION ALL
SELECT 'RECUSA', 2, 'Ordem de serviço tipo não cadastrada: ' || :ORDEM_SERVICO_TIPO_ID || '.'
 WHERE :ORDEM_SERVICO_TIPO_ID IS NOT NULL
   AND NOT EXISTS (SELECT 1 FROM ORDEM_SERVICO_TIPO WHERE ORDEM_SERVICO_TIPO_ID = :ORDEM_SERVICO_TIPO_ID)
UNION ALL
SELECT 'RECUSA', 3,
       'As listas de incidentes, justificativas, seleções e tipos de cadastro não têm o mesmo número de elementos.'
  FROM (SELECT coalesce(sum(LISTA = 'INCIDENTE'), 0)     AS INCIDENTES,
               coalesce(sum(LISTA = 'JUSTIFICATIVA'), 0) AS JUSTIFICATIVAS,
               coalesce(sum(LISTA = 'SELECIONADO'), 0)   AS SELECIONADOS,
               coalesce(sum(LISTA = 'TIPO_CADASTRO'), 0) AS TIPOS
          FROM INCIDENTE_OS_CARGA)
 WHERE SELECIONADOS <> INCIDENTES
    OR (:LISTA_JUSTIFICATIVA IS NOT NULL AND JUSTIFICATIVAS <> INCIDENTES)
    OR (:LISTA_FLAG_TIPO_CADASTRO IS NOT NULL AND TIPOS <> INCIDENTES)
UNION ALL
SELECT 'RECUSA', 4, 'Tipo de incidente não cadastrado: ' || ITEM || '.'
  FROM (SELECT c.ITEM
          FROM INCIDENTE_OS_CARGA c
         WHERE c.LISTA = 'INCIDENTE'
           -- GLOB and CAST stop reading at a NUL, so '1' followed by one would pass for 1.
           AND NOT (trim(c.ITEM) <> '' AND trim(c.ITEM) NOT GLOB '*[^0-9]*'
                    AND instr(c.ITEM, char(0)) = 0
                    AND EXISTS (SELECT 1
                                  FROM TAB_TIPO_INCIDENTE t
                                 WHERE t.TAB_TIPO_INCIDENTE_ID = CAST(trim(c.ITEM) AS INTEGER)))
         ORDER BY c.POSICAO
         LIMIT 1);

DELETE FROM INCIDENTE_OS
 WHERE ORDEM_SERVICO_TIPO_ID = :ORDEM_SERVICO_TIPO_ID
   AND NOT EXISTS (SELECT 1 FROM INCIDENTE_OS_CARGA WHERE LISTA = 'RECUSA');

-- A type listed twice keeps its last row.
INSERT OR REPLACE INTO INCIDENTE_OS
       (ORDEM_SERVICO_TIPO_ID, TAB_TIPO_INCIDENTE_ID, FLAG_SELECIONADO, JUSTIFICATIVA,
        FLAG_TIPO_CADASTRO, USUARIO_INTERNET_ID, DATA_INCLUSAO)
SELECT :ORDEM_SERVICO_TIPO_ID, CAST(trim(i.ITEM) AS INTEGER), s.ITEM, nullif(j.ITEM, ''),
       nullif(k.ITEM, ''), :USUARIO_INTERNET_ID, strftime('%Y/%m/%d %H:%M:%S', 'now', 'localtime')
  FROM INCIDENTE_OS_CARGA i
  JOIN INCIDENTE_OS_CARGA s ON s.LISTA = 'SELECIONADO' AND s.POSICAO = i.POSICAO
  LEFT JOIN INCIDENTE_OS_CARGA j ON j.LISTA = 'JUSTIFICATIVA' AND j.POSICAO = i.POSICAO
  LEFT JOIN INCIDENTE_OS_CARGA k ON k.LISTA = 'TIPO_CADASTRO' AND k.POSICAO = i.POSICAO
 WHERE i.LISTA = 'INCIDENTE'
   AND NOT EXISTS (SELECT 1 FROM INCIDENTE_OS_CARGA WHERE LISTA = 'RECUSA')
 ORDER BY i.POSICAO;

INSERT INTO OBSERVACAO_INCIDENTE_OS
       (ORDEM_SERVICO_TIPO_ID, OBSERVACAO, USUARIO_INTERNET_ID, DATA_ALTERACAO)
SELECT :ORDEM_SERVICO_TIPO_ID, :OBSERVACAO, :USUARIO_INTERNET_ID,
       strftime('%Y/%m/%d %H:%M:%S', 'now', 'localtime')
 WHERE upper(trim(:FLAG_GRAVA_OBSERVACAO)) = 'S'
   AND NOT EXISTS (SELECT 1 FROM INCIDENTE_OS_CARGA WHERE LISTA = 'RECUSA')
    ON CONFLICT (ORDEM_SERVICO_TIPO_ID) DO UPDATE
   SET OBSERVACAO = excluded.OBSERVACAO,
       USUARIO_INTERNET_ID = excluded.USUARIO_INTERNET_ID,
       DATA_ALTERACAO = excluded.DATA_ALTERACAO;

SELECT CASE WHEN EXISTS (SELECT 1 FROM INCIDENTE_OS_CARGA WHERE LISTA = 'RECUSA')
            THEN 1 ELSE 0 END AS retorno,
       (SELECT ITEM FROM INCIDENTE_OS_CARGA WHERE LISTA = 'RECUSA' ORDER BY POSICAO LIMIT 1)
         AS Msg_Ret;

DELETE FROM INCIDENTE_OS_CARGA;
