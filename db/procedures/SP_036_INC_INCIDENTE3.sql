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

-- Unpack the four lists, one row per element, numbered from 1.
WITH RECURSIVE
  listas (LISTA, TEXTO, SEPARADOR) AS (
    VALUES ('INCIDENTE', :LISTA_INCIDENTE_ID, ','),
           ('JUSTIFICATIVA', :LISTA_JUSTIFICATIVA, '|'),
           ('SELECIONADO', :LISTA_FLAG_SELECIONADO, ','),
           ('TIPO_CADASTRO', :LISTA_FLAG_TIPO_CADASTRO, ',')
  ),
  partes (LISTA, SEPARADOR, POSICAO, ITEM, RESTO) AS (
    SELECT LISTA, SEPARADOR, 0, NULL, TEXTO || SEPARADOR
      FROM listas
     WHERE TEXTO IS NOT NULL
    UNION ALL
    SELECT LISTA, SEPARADOR, POSICAO + 1,
           substr(RESTO, 1, instr(RESTO, SEPARADOR) - 1),
           substr(RESTO, instr(RESTO, SEPARADOR) + 1)
      FROM partes
     WHERE RESTO <> ''
  )
INSERT INTO INCIDENTE_OS_CARGA (LISTA, POSICAO, ITEM)
SELECT LISTA, POSICAO, ITEM FROM partes WHERE POSICAO > 0;

-- The refusals, in the order they are reported.
INSERT INTO INCIDENTE_OS_CARGA (LISTA, POSICAO, ITEM)
SELECT 'RECUSA', 1, 'Ordem de serviço tipo não informada.'
 WHERE :ORDEM_SERVICO_TIPO_ID IS NULL
UNION ALL
SELECT 'RECUSA', 2,
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
SELECT 'RECUSA', 3, 'Tipo de incidente não cadastrado: ' || ITEM || '.'
  FROM (SELECT c.ITEM
          FROM INCIDENTE_OS_CARGA c
         WHERE c.LISTA = 'INCIDENTE'
           AND NOT (trim(c.ITEM) <> '' AND trim(c.ITEM) NOT GLOB '*[^0-9]*'
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
